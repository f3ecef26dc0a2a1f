#!/bin/sh
# check-no-test-code.sh SHIPPED... -- TEST-BUILD...
# Fails when a shipped program holds test-only code: a symbol of the test
# hooks, the input panel's call log or the help viewer's report, or the name
# of a test switch. The TEST-BUILDs must hold them, so the patterns still find
# what they look for.
set -u
symbols='CTestSnapshots|CTestProgramApp|HelpReporter|SipPanel::(Calls|Reset|FailQueries)\('
switches='TALLYARD_|--report'
status=0

shipped=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    shipped="$shipped $1"; shift
done
[ $# -gt 0 ] && shift

for program in $shipped; do
    if ! nm "$program" | grep -q ' T main$'; then
        echo "FAIL: no symbols to look at in $program"; status=1; continue
    fi
    found=$(nm -C "$program" | grep -E "$symbols")
    if [ -n "$found" ]; then
        echo "FAIL: test code in $program:"; echo "$found" | head -20; status=1
    fi
    found=$(strings -a "$program" | grep -E -e "$switches")
    if [ -n "$found" ]; then
        echo "FAIL: test switches in $program:"; echo "$found"; status=1
    fi
done

named=0
for build in "$@"; do
    if ! nm -C "$build" | grep -qE "$symbols"; then
        echo "FAIL: the patterns find no test code in $build"; status=1
    fi
    strings -a "$build" | grep -qE -e "$switches" && named=1
done
if [ $named -eq 0 ]; then
    echo "FAIL: the patterns find no test switch in $*"; status=1
fi
[ $status -eq 0 ] && echo "no test code in$shipped"
exit $status
