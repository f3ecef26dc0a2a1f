#!/bin/sh
# check-no-test-code.sh SHIPPED TEST-BUILD...
# Fails when the shipped program holds test-only code: a symbol of the test
# hooks or the input panel's call log, or the name of a test switch. Each
# TEST-BUILD must hold some of them, so the patterns still find what they
# look for.
set -u
symbols='CTestSnapshots|CTestProgramApp|SipPanel::(Calls|Reset|FailQueries)\('
switches='TALLYARD_'
shipped="$1"; shift
status=0

if ! nm -C "$shipped" | grep -q 'CTallyardApp::OnInit'; then
    echo "FAIL: no symbols to look at in $shipped"
    exit 1
fi
found=$(nm -C "$shipped" | grep -E "$symbols")
if [ -n "$found" ]; then
    echo "FAIL: test code in $shipped:"; echo "$found" | head -20; status=1
fi
found=$(strings -a "$shipped" | grep -E "$switches")
if [ -n "$found" ]; then
    echo "FAIL: test switches in $shipped:"; echo "$found"; status=1
fi

named=0
for build in "$@"; do
    if ! nm -C "$build" | grep -qE "$symbols"; then
        echo "FAIL: the patterns find no test code in $build"; status=1
    fi
    strings -a "$build" | grep -qE "$switches" && named=1
done
if [ $named -eq 0 ]; then
    echo "FAIL: the patterns find no test switch in $*"; status=1
fi
[ $status -eq 0 ] && echo "no test code in $shipped"
exit $status
