"""A second, independent CalDAV client for the sync tests.

usage: other_client.py URL USER PASSWORD list|add|show UID|rename UID NAME
"""
import sys

import caldav


def main():
    url, user, password, command = sys.argv[1:5]
    client = caldav.DAVClient(url=url, username=user, password=password)
    calendar = caldav.Calendar(client=client, url=url)
    if command == "list":
        for todo in calendar.todos(include_completed=True):
            c = todo.icalendar_component
            parent = c.get("RELATED-TO")
            name = "(none)"
            if parent is not None:
                name = str(calendar.todo_by_uid(str(parent)).icalendar_component.get("SUMMARY"))
            print(f"{c.get('SUMMARY')} <- {name}")
    elif command == "add":
        calendar.save_todo(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\nBEGIN:VTODO\r\n"
            "UID:other-client-parent\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:From the other client\r\n"
            "END:VTODO\r\nEND:VCALENDAR\r\n")
        calendar.save_todo(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//other//EN\r\nBEGIN:VTODO\r\n"
            "UID:other-client-child\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Its subtask\r\n"
            "RELATED-TO;RELTYPE=PARENT:other-client-parent\r\nPRIORITY:2\r\nDUE:20270101T120000Z\r\n"
            "X-OTHER-CLIENT:keep me\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
        print("added")
    elif command == "show":
        print(calendar.todo_by_uid(sys.argv[5]).data.replace("\r\n ", ""))
    elif command == "rename":
        todo = calendar.todo_by_uid(sys.argv[5])
        todo.icalendar_component["SUMMARY"] = sys.argv[6]
        todo.save()
        print("renamed")


main()
