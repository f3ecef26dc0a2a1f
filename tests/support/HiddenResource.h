#ifndef TALLYARD_TESTS_SUPPORT_HIDDENRESOURCE_H
#define TALLYARD_TESTS_SUPPORT_HIDDENRESOURCE_H

#include <string>

/// Takes one of the program's resource files (e.g. "splash.png") out of the
/// files Resources::Init() registered, so whatever loads it finds it missing;
/// puts it back when it ends. Resources::Init() must have run.
class CHiddenResource
{
public:
    explicit CHiddenResource(std::string file);
    ~CHiddenResource();
    CHiddenResource(const CHiddenResource&) = delete;
    CHiddenResource& operator=(const CHiddenResource&) = delete;

    /// False when there was no such file to hide.
    bool IsHidden() const { return m_hidden; }

private:
    std::string m_file;
    bool m_hidden = false;
};

#endif
