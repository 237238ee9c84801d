#pragma once

#include <QPointer>

// The program's windows exist once each: created on first reference, then
// kept (mostly hidden) until the program ends. A form class derives from
// SingleForm<Form> and calls adopt(this) in its constructor.
template <typename Form>
class SingleForm
{
public:
    // The window, created on first use.
    static Form &get()
    {
        if (!s_instance)
            new Form(); // the constructor adopts itself
        return *s_instance;
    }

    // The window if it was created and is still alive.
    static Form *existing() { return s_instance.data(); }

protected:
    static void adopt(Form *form) { s_instance = form; }

private:
    static inline QPointer<Form> s_instance;
};
