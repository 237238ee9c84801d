#pragma once

#include "singleform.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class RKHotKey;

// The settings window "Aurilo设置": the user's options and the three
// desktop-wide volume keys, kept in Config.dll in the program folder. It is
// created once, hidden, and stays for the whole run: its check boxes are the
// program's live settings, and its hot keys work while it is hidden.
// Closing it with its close box only hides it; closed by the program, it
// ends the program at once.
class QuendaSz : public QWidget, public SingleForm<QuendaSz>
{
    Q_OBJECT

public:
    explicit QuendaSz(QWidget *parent = nullptr);
    ~QuendaSz() override;

    // Config.dll in the program folder.
    static QString configFile();

    // Reads the seven boxes from Config.dll, when there is one; the hot keys
    // are not switched by it.
    void 加载热键事件();
    // Switches on the hot key of every ticked row.
    void 加载热键属性();
    void HK1_HotKeyPressed();
    void HK2_HotKeyPressed();
    void HK3_HotKeyPressed();
    void 保存设置_Click();
    // A row's box changed by the user: its hot key follows the box, and the
    // box shows whether the key could be switched on.
    void 增加音量_MouseUp();
    void 减少音量_MouseUp();
    void 禁音_MouseUp();

    void Form_Load();

    // Shows the window modeless, in front.
    void showModeless();

    // --- controls ---
    QLabel *HeadrImges = nullptr;
    QGroupBox *HotKey = nullptr;
    QCheckBox *增加音量 = nullptr;
    RKHotKey *HK1 = nullptr;
    QCheckBox *减少音量 = nullptr;
    RKHotKey *HK2 = nullptr;
    QCheckBox *禁音 = nullptr;
    RKHotKey *HK3 = nullptr;
    QCheckBox *开启启动 = nullptr;
    QCheckBox *欢迎动画 = nullptr;
    QCheckBox *自检测 = nullptr;
    QCheckBox *版本自动更新 = nullptr;
    QPushButton *保存设置 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    // The seven boxes in the order they are read and written.
    QList<QCheckBox *> stored() const;
    void rowMouseUp(QCheckBox *box, RKHotKey *hotKey);
    void sendAppCommand(quintptr wParam, qintptr lParam);
};
