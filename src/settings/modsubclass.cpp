#include "modsubclass.h"

#include "csubclass.h"
#include "rkhotkey.h"

#include <QSet>
#include <QVariant>
#include <QWidget>

namespace ModSubClass {

namespace {

constexpr char kObject[] = "Object";
constexpr char kWinProc[] = "WinProc";

// The controls that have a hot-key window: "Object" holds no reference, so a
// pointer is only followed while its control is attached.
QSet<quintptr> &attached()
{
    static QSet<quintptr> owners;
    return owners;
}

class HotKeyProc final : public ISubclass
{
public:
    void WndProc(bool, bool &bHandled, LRESULT &lReturn, QWidget *lhWnd, std::uint32_t uMsg, WPARAM,
                 LPARAM, LPARAM &) override
    {
        bHandled = true;
        lReturn = 0;
        if (uMsg != Wm::WM_HOTKEY)
            return;
        if (RKHotKey *owner = ObjectFromPointer(lhWnd->property(kObject).value<quintptr>()))
            owner->RaiseEvents();
    }
};

class TextBoxProc final : public ISubclass
{
public:
    void WndProc(bool, bool &bHandled, LRESULT &lReturn, QWidget *, std::uint32_t uMsg, WPARAM,
                 LPARAM, LPARAM &) override
    {
        if (uMsg == Wm::WM_CONTEXTMENU) {
            bHandled = true;
            lReturn = 0;
        }
    }
};

HotKeyProc s_hotKeyProc;
TextBoxProc s_textBoxProc;

// Puts the procedure in front of the window's own handling; the subclasser
// that holds the previous one is kept in "WinProc".
void attach(QWidget *window, ISubclass *procedure, std::uint32_t message)
{
    auto *subclass = new CSubclass;
    if (!subclass->Subclass_Start(window, procedure)) {
        delete subclass;
        return;
    }
    subclass->Subclass_AddMsg(window, message, CSubclass::MSG_BEFORE);
    window->setProperty(kWinProc, QVariant::fromValue(reinterpret_cast<quintptr>(subclass)));
}

void detach(QWidget *window)
{
    auto *subclass = reinterpret_cast<CSubclass *>(window->property(kWinProc).value<quintptr>());
    delete subclass; // puts the previous procedure back
    window->setProperty(kWinProc, QVariant());
}

} // namespace

void AttachHotKeyWindow(QWidget *window, RKHotKey *owner)
{
    if (!window)
        return;
    const auto pointer = reinterpret_cast<quintptr>(owner);
    attached().insert(pointer);
    window->setProperty(kObject, QVariant::fromValue(pointer));
    attach(window, &s_hotKeyProc, CSubclass::ALL_MESSAGES);
}

void DetachHotKeyWindow(QWidget *window)
{
    if (!window)
        return;
    detach(window);
    attached().remove(window->property(kObject).value<quintptr>());
    window->setProperty(kObject, QVariant());
}

void AttachTextBox(QWidget *window)
{
    if (window)
        attach(window, &s_textBoxProc, Wm::WM_CONTEXTMENU);
}

void DetachTextBox(QWidget *window)
{
    if (window)
        detach(window);
}

RKHotKey *ObjectFromPointer(quintptr pointer)
{
    if (!attached().contains(pointer))
        return nullptr;
    return reinterpret_cast<RKHotKey *>(pointer);
}

} // namespace ModSubClass
