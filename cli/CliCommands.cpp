#include "cli/CliCommands.h"

#include "store/ListStore.h"
#include "sync/IcalExchange.h"
#include "sync/IcalText.h"
#include "sync/SyncCommand.h"

#include <iostream>
#include <iterator>
#include <sstream>

namespace Cli
{
const char* const Usage = "Usage: tallyard-cli export [--category NAME] FILE\n"
                          "       tallyard-cli import FILE\n"
                          "       tallyard-cli list [--category NAME]\n"
                          "       tallyard-cli sync [--url URL] [--user NAME] [--password-file FILE]\n"
                          "       tallyard-cli --help\n"
                          "\n"
                          "Works on the checklists of Tallyard ($XDG_DATA_HOME/tallyard), also while\n"
                          "the program runs. FILE - is standard output for export and standard input\n"
                          "for import. export writes iCalendar (every checklist, or those filed under\n"
                          "NAME); import adds and updates checklists from an iCalendar file, all of\n"
                          "it or nothing; list prints one line per checklist in the main view's order:\n"
                          "category, name, unchecked items and items, separated by tabs.\n"
                          "\n"
                          "Exit status: 0 done, 1 refused or failed, 2 wrong usage.\n";

namespace
{
struct Parsed
{
    std::string command;
    std::u16string category;
    bool hasCategory = false;
    std::vector<std::string> files;
};

int UsageError(std::ostream& err, const std::string& what)
{
    err << "tallyard-cli: " << what << " (see tallyard-cli --help)\n";
    return ExitUsage;
}

int Failure(std::ostream& err, const std::string& what)
{
    err << "tallyard-cli: " << what << "\n";
    return ExitFailed;
}

bool OpenStore(std::ostream& err)
{
    if (ListStore::CreateDatabases())
        return true;
    Failure(err, "cannot open the store: " + IcalText::ToUtf8(ListStore::LastError()));
    return false;
}

int List(const Parsed& p, std::ostream& out, std::ostream& err)
{
    if (!OpenStore(err))
        return ExitFailed;
    ListArray lists;
    if (!lists.LoadLists(p.hasCategory ? p.category : u"All"))
        return Failure(err, "cannot read the store: " + IcalText::ToUtf8(ListStore::LastError()));
    std::string text;
    for (const ListRecord& l : lists)
        text += Escaped(IcalText::ToUtf8(l.category)) + '\t' + Escaped(IcalText::ToUtf8(l.name)) + '\t' +
                std::to_string(l.uncheckedCount) + '\t' + std::to_string(l.itemCount) + '\n';
    out << text << std::flush;
    return out ? ExitDone : Failure(err, "cannot write the list");
}

int Export(const Parsed& p, std::ostream& out, std::ostream& err)
{
    if (!OpenStore(err))
        return ExitFailed;
    std::string error;
    const std::u16string category = p.hasCategory ? p.category : u"";
    if (p.files[0] == "-")
    {
        std::string text;
        if (!IcalExchange::ExportText(category, text, error))
            return Failure(err, error);
        out << text << std::flush;
        return out ? ExitDone : Failure(err, "cannot write to standard output");
    }
    return IcalExchange::ExportFile(p.files[0], category, error) ? ExitDone : Failure(err, error);
}

int Import(const Parsed& p, std::istream& in, std::ostream& out, std::ostream& err)
{
    if (!OpenStore(err))
        return ExitFailed;
    IcalExchange::ImportCounts counts;
    std::string error;
    bool ok;
    if (p.files[0] == "-")
    {
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad())
            return Failure(err, "cannot read standard input");
        ok = IcalExchange::ImportText(text, "", counts, error);
    }
    else
        ok = IcalExchange::ImportFile(p.files[0], counts, error);
    if (!ok)
        return Failure(err, error);
    out << IcalExchange::Summary(counts) << "\n" << std::flush;
    return ExitDone;
}
}

std::string Escaped(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    for (char c : field)
    {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out.push_back(c);
    }
    return out;
}

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return UsageError(err, "no command given");
    if (args[0] == "sync")
        return Sync::RunSyncCommand({args.begin() + 1, args.end()}, out, err);
    Parsed p;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
        {
            out << Usage;
            return ExitDone;
        }
        if (p.command.empty())
        {
            if (a != "export" && a != "import" && a != "list")
                return UsageError(err, "unknown command \"" + a + "\"");
            p.command = a;
        }
        else if (a == "--category" || a.rfind("--category=", 0) == 0)
        {
            if (p.command == "import")
                return UsageError(err, "import takes no --category");
            if (p.hasCategory)
                return UsageError(err, "--category given twice");
            std::string value;
            if (a == "--category")
            {
                if (i + 1 >= args.size())
                    return UsageError(err, "--category needs a NAME");
                value = args[++i];
            }
            else
                value = a.substr(11);
            if (IcalText::FirstInvalidUtf8(value) != std::string::npos)
                return UsageError(err, "the category NAME is not valid UTF-8");
            p.category = IcalText::FromUtf8(value);
            p.hasCategory = true;
        }
        else if (a.size() > 1 && a[0] == '-' && a != "-")
            return UsageError(err, "unknown option \"" + a + "\"");
        else
            p.files.push_back(a);
    }
    if (p.command == "list")
        return p.files.empty() ? List(p, out, err) : UsageError(err, "list takes no FILE");
    if (p.files.size() != 1)
        return UsageError(err, p.command + (p.files.empty() ? " needs a FILE" : " takes one FILE"));
    if (p.command == "export")
        return Export(p, out, err);
    return Import(p, in, out, err);
}
}
