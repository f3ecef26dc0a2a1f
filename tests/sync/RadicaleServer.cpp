#include "tests/sync/RadicaleServer.h"

#include "tests/support/Loopback.h"

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

RadicaleServer::RadicaleServer(const std::string& root)
{
    std::string pattern = root + "/tallyard-radicale-XXXXXX";
    if (mkdtemp(pattern.data()))
        m_folder = pattern;
    std::ofstream(m_folder + "/users") << User() << ':' << Password() << '\n'
                                       << "bob:builder\n";
}

RadicaleServer::~RadicaleServer()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Kill();
    }
    if (!m_folder.empty())
        std::system(("rm -rf '" + m_folder + "'").c_str());
}

bool RadicaleServer::Start()
{
    if (m_pid > 0)
        return true;
    if (m_port == 0)
        m_port = Loopback::FreePort();
    std::ofstream(m_folder + "/config") << "[server]\nhosts = 127.0.0.1:" << m_port << "\n"
                                        << "max_content_length = 100000000\n"
                                        << "[auth]\ntype = htpasswd\nhtpasswd_filename = " << m_folder << "/users\n"
                                        << "htpasswd_encryption = plain\ndelay = 0\n"
                                        << "[rights]\ntype = owner_only\n"
                                        << "[storage]\n"
                                        << (m_storageModule.empty() ? "" : "type = " + m_storageModule + "\n")
                                        << "filesystem_folder = " << m_folder << "/collections\n"
                                        << "[logging]\nlevel = error\n";
    std::string config = m_folder + "/config";
    std::vector<std::string> args = {"/usr/bin/python3", "-m", "radicale", "--config", config};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = m_folder + "/log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (m_storageFolder.empty() || std::string(*e).rfind("PYTHONPATH=", 0) != 0)
            env.push_back(*e);
    if (!m_storageFolder.empty())
        env.push_back("PYTHONPATH=" + m_storageFolder);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
    {
        m_pid = -1;
        return false;
    }
    for (int i = 0; i < 300; ++i)
    {
        if (Loopback::PortAnswers(m_port))
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void RadicaleServer::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::string RadicaleServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

std::string RadicaleServer::CollectionUrl(const std::string& name) const
{
    return BaseUrl() + "/" + User() + "/" + name + "/";
}
