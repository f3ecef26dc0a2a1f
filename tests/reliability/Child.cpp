#include "tests/reliability/Child.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

std::string WorkerPath()
{
    if (const char* p = std::getenv("TALLYARD_RELIABILITY_WORKER"); p && *p)
        return p;
    return TALLYARD_RELIABILITY_WORKER;
}

Worker::Worker(const std::string& mode, const std::vector<std::string>& args)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const std::string path = WorkerPath();
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
    {
        int w = dup(fds[1]); // without close-on-exec
        std::vector<std::string> all{path, mode, std::to_string(w)};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    m_fd = fds[0];
}

Worker::~Worker()
{
    if (m_pid > 0)
        Kill();
    if (m_fd >= 0)
        close(m_fd);
}

bool Worker::ReadLine(std::string& line, int timeoutMs)
{
    for (;;)
    {
        if (size_t nl = m_buffer.find('\n'); nl != std::string::npos)
        {
            line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            return true;
        }
        if (m_eof)
            return false; // a torn last line is no report
        pollfd p{m_fd, POLLIN, 0};
        int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        char buf[4096];
        ssize_t n = read(m_fd, buf, sizeof buf);
        if (n <= 0)
            m_eof = true;
        else
            m_buffer.append(buf, static_cast<size_t>(n));
    }
}

int Worker::Kill()
{
    if (m_pid <= 0)
        return 0;
    ::kill(m_pid, SIGKILL);
    return Wait();
}

int Worker::Wait()
{
    int status = 0;
    if (m_pid > 0)
    {
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR)
        {
        }
        m_pid = -1;
    }
    return status;
}

bool ChildResult::Crashed() const { return !WIFEXITED(status) || WEXITSTATUS(status) != 0; }

std::string ChildResult::Describe() const
{
    if (WIFSIGNALED(status))
        return std::string("killed by signal ") + strsignal(WTERMSIG(status)) + " after: " + output;
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return "exit code " + std::to_string(WEXITSTATUS(status)) + " after: " + output;
    return output;
}

ChildResult RunInChild(const std::function<std::string()>& body)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
    {
        close(fds[0]);
        std::string out = body();
        const char* p = out.data();
        size_t left = out.size();
        while (left > 0)
        {
            ssize_t n = write(fds[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    ChildResult result;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            result.output.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    while (waitpid(pid, &result.status, 0) < 0 && errno == EINTR)
    {
    }
    return result;
}

bool LongRun()
{
    const char* v = std::getenv("TALLYARD_RELIABILITY_LONG");
    return v && std::strcmp(v, "1") == 0;
}

int Scale(int quick, int longRun) { return LongRun() ? longRun : quick; }
