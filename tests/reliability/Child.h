#ifndef TALLYARD_TESTS_RELIABILITY_CHILD_H
#define TALLYARD_TESTS_RELIABILITY_CHILD_H

// Child processes for the reliability tests: the worker program with a pipe
// for its reports, and forked functions whose crash is seen as a signal.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

/// Path of the worker program.
std::string WorkerPath();

/// A running worker and the read end of its report pipe.
class Worker
{
public:
    /// Starts the worker with `args` after "<mode> <fd>".
    Worker(const std::string& mode, const std::vector<std::string>& args);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    /// Next complete report line; false at end of pipe or after `timeoutMs`.
    bool ReadLine(std::string& line, int timeoutMs);
    /// SIGKILL, then reaps. Returns the wait status.
    int Kill();
    /// Waits for the exit and returns the wait status.
    int Wait();
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_buffer;
    bool m_eof = false;
};

struct ChildResult
{
    int status = 0;     // as from waitpid
    std::string output; // what the function returned
    bool Crashed() const;
    std::string Describe() const;
};

/// Runs `body` in a forked child (which ends with _exit, closing nothing) and
/// returns its result text.
ChildResult RunInChild(const std::function<std::string()>& body);

/// Whether the long runs were asked for (TALLYARD_RELIABILITY_LONG=1).
bool LongRun();
/// Scale of a figure: `quick` normally, `longRun` in the long runs.
int Scale(int quick, int longRun);

#endif
