#pragma once
// Message dialogs: TSkinMessage builds a skinned modal dialog with an icon,
// the message and a row of buttons, sized to the text and centred on the
// screen, and returns the modal result of the button that closed it.
#include "ui/SkinData.h"

#include <QDialog>
#include <QFont>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <initializer_list>
#include <string>

class QLabel;

namespace quillory {

enum TDialogKind { dkWarning, dkError, dkInformation, dkConfirmation, dkCustom };

enum TDialogButton {
    dbYes,
    dbNo,
    dbOK,
    dbCancel,
    dbAbort,
    dbRetry,
    dbIgnore,
    dbAll,
    dbNoToAll,
    dbYesToAll,
    dbHelp
};
constexpr int kDialogButtonCount = 11;

// A set of dialog buttons.
class TDialogButtons {
public:
    TDialogButtons() = default;
    TDialogButtons(std::initializer_list<TDialogButton> buttons) {
        for (TDialogButton b : buttons)
            FBits |= 1u << b;
    }
    bool Contains(TDialogButton b) const { return FBits & (1u << b); }
    int Count() const;

private:
    unsigned FBits = 0;
};

// Modal results: 1 OK, 2 Cancel, and the values of the other buttons.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10
};

// The component name, built-in caption and modal result of a button, and the
// key of its caption in a skin's text table.
struct TDialogButtonInfo {
    const char* Name;
    const char* Caption;
    int ModalResult;
    const char* TextKey;
};
const TDialogButtonInfo& DialogButtonInfo(TDialogButton b);
// The built-in caption of a dialog kind ("Warning", ...); empty for dkCustom.
std::string DialogKindCaption(TDialogKind kind);

// Message dialogs never wrap their text, so a long line of text from outside
// the program (a server's own words) would run off the screen. This breaks
// each line longer than `columns` at the last space before the limit (or at
// the limit when a word is longer), with the program's line break LF CR.
// Existing line breaks stay.
std::string WrapMessageText(const std::string& text, std::size_t columns = 80);

// A label that sizes itself to its text (several lines, tabs expanded, no
// word wrap; "&" underlines the next character) in the font it draws with:
// the skin entry's font and colour when the entry exists and UseSkinFont is
// on, else DefaultFont.
class TSkinStdLabel : public QWidget {
    Q_OBJECT
public:
    explicit TSkinStdLabel(QWidget* parent = nullptr);

    QFont DefaultFont;
    bool UseSkinFont = true;
    std::string SkinDataName = "stdlabel";
    QPointer<TSkinData> SkinData;

    void SetCaption(const QString& text);
    QString Caption() const { return FCaption; }
    // The font and colour the label draws with now.
    QFont DrawFont() const;
    QColor DrawColor() const;
    // Sets the size to the extent of the text.
    void AdjustToText();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const TSkinEntry* Entry() const;
    QString FCaption;
};

// A push button that sets its dialog's modal result when clicked.
class TSkinButton : public QPushButton {
    Q_OBJECT
public:
    explicit TSkinButton(QWidget* parent = nullptr);
    int ModalResult = mrNone;
    bool Cancel = false;
    int DefaultHeight = 25;
};

class TSkinMessageForm : public QDialog {
    Q_OBJECT
public:
    TSkinMessageForm();

    QPointer<TSkinData> SkinData;     // the frame's skin
    QPointer<TSkinData> CtrlSkinData; // the controls' skin
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    int AlphaBlendValue = 200;
    int HelpContext = 0;

    // Ends the modal loop with `result` unless it is 0.
    void SetModalResult(int result);
    TSkinButton* DefaultButton() const;
    TSkinButton* CancelButton() const;
    // Minimum and maximum outer width of a skinned window.
    int MinimumSkinnedWidth() const;
    int MaximumSkinnedWidth() const;

signals:
    void HelpRequested(int helpContext);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
};

class TSkinMessage : public QObject {
    Q_OBJECT
public:
    explicit TSkinMessage(QObject* owner = nullptr);

    QPointer<TSkinData> SkinData;
    QPointer<TSkinData> CtrlSkinData;
    std::string ButtonSkinDataName = "button";
    std::string MessageLabelSkinDataName = "stdlabel";
    QFont DefaultFont;
    QFont DefaultButtonFont;
    bool UseSkinFont = true;
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    int AlphaBlendValue = 200;

    // The settings of the main window's message component: both skin data
    // references set, fonts Arial with a character height of 15 pixels.
    void UseProgramDefaults(TSkinData* skinData);

    // Builds the dialog, runs it modally, frees it and returns the modal
    // result: the clicked button's value, or 2 when the window is closed.
    int ShowMessageDialog(const std::string& msg, TDialogKind kind, TDialogButtons buttons,
                          int helpContext = 0);
    // Builds the dialog without showing it; the caller owns it.
    TSkinMessageForm* CreateMessageDialog(const std::string& msg, TDialogKind kind,
                                          TDialogButtons buttons) const;

signals:
    void HelpRequested(int helpContext);

private:
    QString Text(const char* key, const std::string& builtIn) const;
};

} // namespace quillory
