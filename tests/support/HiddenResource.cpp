#include "tests/support/HiddenResource.h"

#include "resources/Embedded.h"

#include <wx/filesys.h>
#include <wx/fs_mem.h>

#include <memory>
#include <utility>

namespace
{
wxString RegisteredName(const std::string& file)
{
    return "tallyard/" + wxString::FromUTF8(file);
}

bool IsRegistered(const std::string& file)
{
    wxFileSystem fs;
    return std::unique_ptr<wxFSFile>(fs.OpenFile("memory:" + RegisteredName(file))) != nullptr;
}
}

CHiddenResource::CHiddenResource(std::string file)
    : m_file(std::move(file))
{
    if (!EmbeddedResource(m_file.c_str()) || !IsRegistered(m_file))
        return;
    wxMemoryFSHandler::RemoveFile(RegisteredName(m_file));
    m_hidden = true;
}

CHiddenResource::~CHiddenResource()
{
    if (!m_hidden)
        return;
    const EmbeddedFile* f = EmbeddedResource(m_file.c_str());
    wxMemoryFSHandler::AddFile(RegisteredName(m_file), f->data, f->size);
}
