#ifndef TALLYARD_TESTS_SYNC_RADICALESERVER_H
#define TALLYARD_TESTS_SYNC_RADICALESERVER_H

// A real CalDAV server for the tests: Radicale under the system's python3 on
// a free loopback port, with its own temporary storage and a plain htpasswd
// file. Stopped (and its files removed) on destruction.

#include <string>
#include <sys/types.h>

class RadicaleServer
{
public:
    /// Its files go in a new folder under `root`.
    explicit RadicaleServer(const std::string& root = "/tmp");
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    /// Runs it with the storage class `Storage` of this Python module, from
    /// `folder` (before Start()).
    void UseStorage(const std::string& module, const std::string& folder)
    {
        m_storageModule = module;
        m_storageFolder = folder;
    }
    /// Starts the server and waits until it answers. False when it did not.
    bool Start();
    /// Stops it at once (SIGKILL), keeping its storage for a restart.
    void Kill();
    bool Running() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    int Port() const { return m_port; }
    /// http://127.0.0.1:<port>/<user>/<name>/
    std::string CollectionUrl(const std::string& name = "tasks") const;
    std::string BaseUrl() const;
    static const char* User() { return "alice"; }
    static const char* Password() { return "wonder land"; }
    const std::string& Folder() const { return m_folder; }
    /// Where the collection's resources are stored, one file each.
    std::string CollectionFolder(const std::string& name = "tasks") const
    {
        return m_folder + "/collections/collection-root/" + User() + "/" + name;
    }

private:
    std::string m_folder;
    std::string m_storageModule;
    std::string m_storageFolder;
    int m_port = 0;
    pid_t m_pid = -1;
};

#endif
