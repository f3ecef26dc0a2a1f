#ifndef TALLYARD_TESTS_BROWSER_EXPECTDIALOG_H
#define TALLYARD_TESTS_BROWSER_EXPECTDIALOG_H

#include <wx/testing.h>

#include <functional>

/// Expects a modal dialog of type T and answers it with what `answer`
/// returns after looking at (and filling in) the dialog's members.
template <class T>
class ExpectDialog : public wxExpectModalBase<T, ExpectDialog<T>>
{
public:
    explicit ExpectDialog(std::function<int(T*)> answer) : m_answer(std::move(answer)) {}

protected:
    int OnInvoked(T* dlg) const override { return m_answer(dlg); }

private:
    std::function<int(T*)> m_answer;
};

#endif
