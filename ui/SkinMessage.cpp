#include "ui/SkinMessage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>

#include <memory>

namespace quillory {

namespace {

const TDialogButtonInfo kButtons[kDialogButtonCount] = {
    {"Yes", "&Yes", mrYes, "MSG_BTN_YES"},
    {"No", "&No", mrNo, "MSG_BTN_NO"},
    {"OK", "OK", mrOk, "MSG_BTN_OK"},
    {"Cancel", "Cancel", mrCancel, "MSG_BTN_CANCEL"},
    {"Abort", "&Abort", mrAbort, "MSG_BTN_ABORT"},
    {"Retry", "&Retry", mrRetry, "SK_MSG_BTN_RETRY"},
    {"Ignore", "&Ignore", mrIgnore, "MSG_BTN_IGNORE"},
    {"All", "&All", mrAll, "MSG_BTN_ALL"},
    {"NoToAll", "N&oToAll", mrNoToAll, "MSG_BTN_NOTOALL"},
    {"YesToAll", "&YesToAll", mrYesToAll, "MSG_BTN_YESTOALL"},
    {"Help", "&Help", mrNone, "MSG_BTN_HELP"},
};

const char* const kKindKeys[] = {"MSG_CAP_WARNING", "MSG_CAP_ERROR", "MSG_CAP_INFORMATION",
                                 "MSG_CAP_CONFIRM"};

constexpr int kButtonWidth = 70;
constexpr int kButtonGap = 10;

// Line breaks of the program's messages (CR LF, LF CR, lone CR or LF) become
// single line feeds for the text layout; a zero byte, which the text layout
// would take for the end of the text or draw as nothing, shows as the
// replacement character, so the rest of the message is still read.
QString NormaliseBreaks(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '\r' || c == '\n') {
            out += '\n';
            if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') &&
                text[i + 1] != c)
                ++i;
        } else if (c.isNull()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

constexpr int kLabelFlags =
    Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs | Qt::TextShowMnemonic;

QChar AcceleratorOf(const QString& caption) {
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (caption[i + 1] != '&')
                return caption[i + 1].toUpper();
            ++i;
        }
    }
    return {};
}

} // namespace

int TDialogButtons::Count() const {
    int n = 0;
    for (int b = 0; b < kDialogButtonCount; ++b)
        n += Contains(static_cast<TDialogButton>(b)) ? 1 : 0;
    return n;
}

const TDialogButtonInfo& DialogButtonInfo(TDialogButton b) {
    return kButtons[b];
}

std::string WrapMessageText(const std::string& text, std::size_t columns) {
    if (columns == 0)
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / columns * 2);
    std::size_t lineStart = 0; // where the current line of `text` starts
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        std::size_t at = lineStart;
        while (lineEnd - at > columns) {
            std::size_t cut = text.rfind(' ', at + columns);
            if (cut == std::string::npos || cut <= at)
                cut = at + columns; // one word longer than a line
            std::size_t end = cut;
            while (end > at && text[end - 1] == ' ')
                --end;
            out.append(text, at, end - at);
            out += "\n\r";
            at = cut;
            while (at < lineEnd && text[at] == ' ')
                ++at;
        }
        out.append(text, at, lineEnd - at);
        if (lineEnd == text.size())
            break;
        // Copy the break as it stands (CR, LF, CR LF or LF CR).
        std::size_t next = lineEnd + 1;
        if (next < text.size() && (text[next] == '\r' || text[next] == '\n') &&
            text[next] != text[lineEnd])
            ++next;
        out.append(text, lineEnd, next - lineEnd);
        lineStart = next;
    }
    return out;
}

std::string DialogKindCaption(TDialogKind kind) {
    switch (kind) {
    case dkWarning:
        return "Warning";
    case dkError:
        return "Error";
    case dkInformation:
        return "Information";
    case dkConfirmation:
        return "Confirm";
    default:
        return {};
    }
}

// --- label -----------------------------------------------------------------

TSkinStdLabel::TSkinStdLabel(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

const TSkinEntry* TSkinStdLabel::Entry() const {
    if (!SkinData || SkinData->Empty())
        return nullptr;
    return SkinData->FindControl(SkinDataName, "stdlabel");
}

QFont TSkinStdLabel::DrawFont() const {
    const TSkinEntry* e = Entry();
    if (e && UseSkinFont && e->HasFont())
        return e->Font(DefaultFont);
    return DefaultFont;
}

QColor TSkinStdLabel::DrawColor() const {
    const QColor fallback = palette().color(QPalette::WindowText);
    const TSkinEntry* e = Entry();
    return e && UseSkinFont ? e->Color("fontcolor", fallback) : fallback;
}

void TSkinStdLabel::SetCaption(const QString& text) {
    FCaption = NormaliseBreaks(text);
    update();
}

void TSkinStdLabel::AdjustToText() {
    const QFontMetrics fm(DrawFont());
    QRect r = fm.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), kLabelFlags,
                              FCaption.isEmpty() ? QStringLiteral(" ") : FCaption);
    if (FCaption.isEmpty())
        r.setWidth(0);
    resize(r.width(), r.height());
}

void TSkinStdLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(DrawFont());
    p.setPen(DrawColor());
    p.drawText(rect(), kLabelFlags, FCaption);
}

// --- button ----------------------------------------------------------------

TSkinButton::TSkinButton(QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

// --- form ------------------------------------------------------------------

TSkinMessageForm::TSkinMessageForm() : QDialog(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
}

void TSkinMessageForm::SetModalResult(int result) {
    setResult(result);
    if (result != mrNone)
        done(result);
}

void TSkinMessageForm::reject() {
    // Closed by the window system: the modal result of Cancel.
    done(mrCancel);
}

TSkinButton* TSkinMessageForm::DefaultButton() const {
    for (TSkinButton* b : findChildren<TSkinButton*>())
        if (b->isDefault())
            return b;
    return nullptr;
}

TSkinButton* TSkinMessageForm::CancelButton() const {
    for (TSkinButton* b : findChildren<TSkinButton*>())
        if (b->Cancel)
            return b;
    return nullptr;
}

int TSkinMessageForm::MinimumSkinnedWidth() const {
    if (SkinData && !SkinData->Empty())
        return std::max(SkinData->Picture().width(), SkinData->FormInfo().Int("minwidth", 0));
    return 120;
}

int TSkinMessageForm::MaximumSkinnedWidth() const {
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    int width = screen ? screen->availableGeometry().width() : 1 << 16;
    const int frameMax =
        SkinData && !SkinData->Empty() ? SkinData->FormInfo().Int("maxwidth", 0) : 0;
    if (frameMax > 0)
        width = std::min(width, frameMax);
    return width;
}

void TSkinMessageForm::keyPressEvent(QKeyEvent* e) {
    const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        auto* focused = qobject_cast<TSkinButton*>(focusWidget());
        TSkinButton* target = focused ? focused : DefaultButton();
        if (target && target->isEnabled())
            target->click();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        TSkinButton* cancel = CancelButton();
        if (mods == Qt::NoModifier && cancel && cancel->isEnabled() &&
            cancel->focusPolicy() != Qt::NoFocus)
            cancel->click();
        return;
    }
    // An accelerator letter typed without modifiers (Alt+letter is handled
    // by the buttons' own shortcuts).
    if ((mods == Qt::NoModifier || mods == Qt::ShiftModifier) && e->text().size() == 1) {
        const QChar typed = e->text()[0].toUpper();
        for (TSkinButton* b : findChildren<TSkinButton*>()) {
            if (b->isEnabled() && AcceleratorOf(b->text()) == typed) {
                b->setFocus(Qt::ShortcutFocusReason);
                b->click();
                return;
            }
        }
    }
    QDialog::keyPressEvent(e);
}

void TSkinMessageForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Always centred on the screen at the final size, never on an owner.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        const QRect f = frameGeometry();
        move(s.left() + (s.width() - f.width()) / 2, s.top() + (s.height() - f.height()) / 2);
    }
    // The first button in table order takes the focus.
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (qobject_cast<TSkinButton*>(w) && w->isEnabled()) {
            w->setFocus(Qt::ActiveWindowFocusReason);
            break;
        }
    }
}

// --- component -------------------------------------------------------------

TSkinMessage::TSkinMessage(QObject* owner)
    : QObject(owner), DefaultFont(FontFromHeight("Arial", 14)),
      DefaultButtonFont(FontFromHeight("Arial", 14)) {}

void TSkinMessage::UseProgramDefaults(TSkinData* skinData) {
    SkinData = skinData;
    CtrlSkinData = skinData;
    DefaultFont = FontFromHeight("Arial", -15);
    DefaultButtonFont = FontFromHeight("Arial", -15);
}

QString TSkinMessage::Text(const char* key, const std::string& builtIn) const {
    if (CtrlSkinData && CtrlSkinData->ResourceStrData()) {
        const auto* table = CtrlSkinData->ResourceStrData();
        auto it = table->find(key);
        if (it != table->end())
            return QString::fromLocal8Bit(it->second.data(),
                                          static_cast<qsizetype>(it->second.size()));
    }
    return QString::fromLocal8Bit(builtIn.data(), static_cast<qsizetype>(builtIn.size()));
}

TSkinMessageForm* TSkinMessage::CreateMessageDialog(const std::string& msg, TDialogKind kind,
                                                    TDialogButtons buttons) const {
    auto form = std::make_unique<TSkinMessageForm>();
    form->SkinData = SkinData;
    form->CtrlSkinData = CtrlSkinData;
    form->AlphaBlend = AlphaBlend;
    form->AlphaBlendAnimation = AlphaBlendAnimation;
    form->AlphaBlendValue = AlphaBlendValue;
    if (AlphaBlend)
        form->setWindowOpacity(AlphaBlendValue / 255.0);

    int buttonHeight = 25;
    if (CtrlSkinData && !CtrlSkinData->Empty())
        if (const TSkinEntry* e = CtrlSkinData->FindControl(ButtonSkinDataName, "button")) {
            QRect r;
            if (e->Rect("skinrect", r))
                buttonHeight = r.height();
        }
    const int n = buttons.Count();
    const int rowWidth = n > 0 ? kButtonWidth * n + kButtonGap * (n - 1) : 0;

    if (QScreen* screen = QGuiApplication::primaryScreen())
        form->move(screen->geometry().width() / 2 - form->width() / 2,
                   screen->geometry().height() / 2 - form->height() / 2);

    form->setWindowTitle(kind == dkCustom ? QGuiApplication::applicationDisplayName()
                                          : Text(kKindKeys[kind], DialogKindCaption(kind)));

    auto* label = new TSkinStdLabel(form.get());
    label->setObjectName("Message");
    label->DefaultFont = DefaultFont;
    label->UseSkinFont = UseSkinFont;
    label->SkinDataName = MessageLabelSkinDataName;
    label->SkinData = CtrlSkinData;
    label->setProperty("SkinData", QVariant::fromValue<QObject*>(CtrlSkinData.data()));
    label->SetCaption(QString::fromLocal8Bit(msg.data(), static_cast<qsizetype>(msg.size())));
    label->move(50, 15);
    label->AdjustToText();
    const int right = label->x() + label->width();

    auto* image = new QLabel(form.get());
    image->setObjectName("Image");
    image->setGeometry(5, std::max(10, label->y() + label->height() / 2 - 16), 32, 32);
    static const QStyle::StandardPixmap icons[] = {
        QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical,
        QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxQuestion};
    if (kind != dkCustom)
        image->setPixmap(
            form->style()->standardIcon(icons[kind], nullptr, form.get()).pixmap(32, 32));

    const int clientHeight = buttonHeight + label->height() + 50;
    int clientWidth = rowWidth < right ? right + 40 : rowWidth + 40;
    // The window has no decoration of ours, so its outer width is the client
    // width for the limits of a skinned window.
    if (clientWidth > form->MaximumSkinnedWidth())
        clientWidth = form->MaximumSkinnedWidth();
    else if (clientWidth < form->MinimumSkinnedWidth())
        clientWidth = form->MinimumSkinnedWidth();
    form->setFixedSize(clientWidth, clientHeight);

    const TDialogButton defaultButton = buttons.Contains(dbOK)    ? dbOK
                                        : buttons.Contains(dbYes) ? dbYes
                                                                  : dbRetry;
    const TDialogButton cancelButton = buttons.Contains(dbCancel) ? dbCancel
                                       : buttons.Contains(dbNo)   ? dbNo
                                                                  : dbOK;
    int x = (clientWidth - rowWidth) / 2;
    TSkinMessageForm* f = form.get();
    for (int i = 0; i < kDialogButtonCount; ++i) {
        const auto b = static_cast<TDialogButton>(i);
        if (!buttons.Contains(b))
            continue;
        const TDialogButtonInfo& info = kButtons[i];
        auto* button = new TSkinButton(form.get());
        button->setObjectName(info.Name);
        button->setText(Text(info.TextKey, info.Caption));
        button->ModalResult = info.ModalResult;
        button->setDefault(b == defaultButton);
        button->Cancel = b == cancelButton;
        button->DefaultHeight = buttonHeight;
        button->setGeometry(x, clientHeight - buttonHeight - 10, kButtonWidth, buttonHeight);
        button->setProperty("SkinDataName", QString::fromStdString(ButtonSkinDataName));
        button->setProperty("SkinData", QVariant::fromValue<QObject*>(CtrlSkinData.data()));
        const TSkinEntry* entry = CtrlSkinData && !CtrlSkinData->Empty()
                                      ? CtrlSkinData->FindControl(ButtonSkinDataName, "button")
                                      : nullptr;
        button->setFont(entry && UseSkinFont && entry->HasFont() ? entry->Font(DefaultButtonFont)
                                                                 : DefaultButtonFont);
        QObject::connect(button, &QPushButton::clicked, f, [f, button, b] {
            f->SetModalResult(button->ModalResult);
            if (b == dbHelp)
                emit f->HelpRequested(f->HelpContext);
        });
        x += kButtonWidth + kButtonGap;
    }
    return form.release();
}

int TSkinMessage::ShowMessageDialog(const std::string& msg, TDialogKind kind,
                                    TDialogButtons buttons, int helpContext) {
    std::unique_ptr<TSkinMessageForm> form(CreateMessageDialog(msg, kind, buttons));
    form->HelpContext = helpContext;
    connect(form.get(), &TSkinMessageForm::HelpRequested, this, &TSkinMessage::HelpRequested);
    return form->exec();
}

} // namespace quillory
