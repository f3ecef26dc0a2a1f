#ifndef TALLYARD_TESTS_SUPPORT_TESTHOOKS_H
#define TALLYARD_TESTS_SUPPORT_TESTHOOKS_H

#include <wx/timer.h>

#include <memory>
#include <string>

/// Keeps a text picture of the shown windows in a file, for tests that drive
/// the built program from outside with real input: the top-level windows and
/// their numbered controls with screen rectangles, texts and states, the rows
/// of every list and the buttons of the toolbar strip. Rewritten (whole, by
/// rename) whenever it changes.
///
/// One record a line, fields separated by tabs; a tab, line feed or backslash
/// in a text is written \t, \n or \\. Rectangles are screen pixels x y w h.
///   top   name title x y w h modal          (name: the XRC name, or
///                                            CMainFrame, splash, message)
///   ctrl  id kind x y w h enabled text      (kind: list, combo, text, radio,
///                                            check, button, title, tools, other;
///                                            text: a combo's selection, a
///                                            field's value, a radio's 0 or 1)
///   tool  id x y w h enabled
///   row   listId index x y w h selected checked column0 column1
///   end
class CTestSnapshots : public wxTimer
{
public:
    /// Started when the environment names the file in TALLYARD_TEST_SNAPSHOT;
    /// null otherwise.
    static std::unique_ptr<CTestSnapshots> StartFromEnvironment();

    explicit CTestSnapshots(const std::string& path);

    void Notify() override;

    /// The picture of the windows shown now.
    static std::string Describe();

private:
    std::string m_path;
    std::string m_last;
};

#endif
