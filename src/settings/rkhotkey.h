#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class GlobalHotKey;
class QLineEdit;

// The hot-key control (Quenda.RKHotKey): the user presses a key combination
// in its text box, which shows it as text ("Ctrl + Alt + F5"); switched on,
// the combination is held for the whole desktop and HotKeyPressed is raised
// whenever it is pressed, whichever program has the focus.
//
// Combinations are kept as Windows virtual-key codes with the modifier mask
// 1 Alt, 2 Ctrl, 4 Shift, 8 Win, in the INI file of the program folder
// (section "RKHotKey", keys <name>Text, <name>KeyCode, <name>ModKeyCode,
// where <name> is the control's object name) or, with a SettingLocation
// other than 0, in the user's settings under RegKeyName.
class RKHotKey : public QWidget
{
    Q_OBJECT

public:
    // The error of a design-time property set while the control runs.
    static constexpr int kSetNotPermittedAtRunTime = 382;

    // The properties the container keeps with its layout. An invalid colour
    // or font stands for the system's (the container's) own.
    struct Properties
    {
        QColor BackColor;
        QColor ForeColor;
        bool Enabled = true;
        QFont Font;
        bool hasFont = false;
        int BorderStyle = 1; // 0 none, 1 single line
        int Appearance = 1;  // 0 flat, 1 3-D
        QString ToolTipText;
        QString INIFileName = QStringLiteral("Config.dll");
        int SettingLocation = 0; // 0 the INI file, else the user's settings
        QString RegKeyName = QStringLiteral("RKHotKey");
    };

    explicit RKHotKey(QWidget *parent = nullptr);
    ~RKHotKey() override; // lets go of the combination

    // What the container does when it loads: applies the properties and,
    // when running (not placed in a designer), makes the hot-key window and
    // loads the stored combination. Loading never switches the hot key on.
    void ReadProperties(const Properties &properties, bool running = true);

    // The hot-key window's procedure calls this on WM_HOTKEY.
    void RaiseEvents();

    QColor BackColor() const;
    void setBackColor(const QColor &color);
    QColor ForeColor() const;
    void setForeColor(const QColor &color);
    // Enabled and Font are the widget's own (setEnabled, setFont), which the
    // text box follows.
    bool Enabled() const { return isEnabled(); }
    QFont Font() const { return font(); }
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style);
    int Appearance() const { return m_appearance; }
    void setAppearance(int appearance) { m_appearance = appearance; }
    QString Text() const;
    QString ToolTipText() const;
    void setToolTipText(const QString &text);
    std::uint32_t KeyCode() const { return m_keyCode; }
    std::uint32_t ModKeyCode() const { return m_modKeyCode; }

    // Switching on takes the combination for the desktop; when there is none
    // ("未设置热键") or it is taken ("热键冲突，请换一个热键。", and the
    // combination is cleared) an error message is shown and it stays off.
    bool HotKeyEnabled() const { return m_hotKeyEnabled; }
    void setHotKeyEnabled(bool enabled);

    // Writes the text, the key code and the modifier mask to the store.
    void SaveSettings();

    // Design-time properties: set while running they return
    // kSetNotPermittedAtRunTime and change nothing; otherwise 0.
    QString INIFileName() const { return m_iniFileName; }
    int setINIFileName(const QString &fileName);
    int SettingLocation() const { return m_settingLocation; }
    int setSettingLocation(int location);
    QString RegKeyName() const { return m_regKeyName; }
    int setRegKeyName(const QString &name);

    bool isRunning() const { return m_running; }

    // The constituent text box.
    QLineEdit *txtHotKey = nullptr;

    // The invisible window that holds the registration (null until running).
    QWidget *hotKeyWindow() const { return m_hotKeyWindow; }

signals:
    void HotKeyPressed();
    void Click();
    void DblClick();
    // The container may change both.
    void KeyDown(short &KeyCode, short &Shift);
    void KeyUp(short &KeyCode, short &Shift);
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void txtHotKey_KeyDown(short KeyCode, short Shift);
    void txtHotKey_KeyUp(short KeyCode, short Shift);
    void showText(const QString &text);
    void clearCombination();
    void loadStoredValues();
    int refuseAtRunTime(const char *property) const;

    QPointer<QWidget> m_hotKeyWindow;
    GlobalHotKey *m_registration = nullptr; // belongs to the hot-key window
    bool m_winHeld = false;
    bool m_hotKeyEnabled = false;
    std::uint32_t m_keyCode = 0;
    std::uint32_t m_modKeyCode = 0;
    QString m_iniFileName = QStringLiteral("Config.dll");
    int m_settingLocation = 0;
    QString m_regKeyName = QStringLiteral("RKHotKey");
    int m_borderStyle = 1;
    int m_appearance = 1;
    bool m_running = false;
};
