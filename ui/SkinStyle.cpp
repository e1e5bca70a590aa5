#include "ui/SkinStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>
#include <QToolButton>

namespace quillory {

namespace {

const char* const kOwnPalette = "_quillory_own_palette";
const char* const kHadPalette = "_quillory_had_palette";
const char* const kSkinFont = "_quillory_skin_font";

void DrawNineSlice(QPainter* p, const QPixmap& pic, const QRect& src, QMargins m,
                   const QRect& dst) {
    // Borders never take more than the target can hold.
    m.setLeft(std::min(m.left(), dst.width() / 2));
    m.setRight(std::min(m.right(), dst.width() - m.left()));
    m.setTop(std::min(m.top(), dst.height() / 2));
    m.setBottom(std::min(m.bottom(), dst.height() - m.top()));
    const QMargins sm(std::min(m.left(), src.width() / 2), std::min(m.top(), src.height() / 2),
                      std::min(m.right(), src.width() / 2), std::min(m.bottom(), src.height() / 2));
    const int dx[4] = {dst.left(), dst.left() + m.left(), dst.right() + 1 - m.right(),
                       dst.right() + 1};
    const int dy[4] = {dst.top(), dst.top() + m.top(), dst.bottom() + 1 - m.bottom(),
                       dst.bottom() + 1};
    const int sx[4] = {src.left(), src.left() + sm.left(), src.right() + 1 - sm.right(),
                       src.right() + 1};
    const int sy[4] = {src.top(), src.top() + sm.top(), src.bottom() + 1 - sm.bottom(),
                       src.bottom() + 1};
    p->save();
    p->setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const QRect d(QPoint(dx[c], dy[r]), QPoint(dx[c + 1] - 1, dy[r + 1] - 1));
            const QRect s(QPoint(sx[c], sy[r]), QPoint(sx[c + 1] - 1, sy[r + 1] - 1));
            if (d.isValid() && s.isValid())
                p->drawPixmap(d, pic, s);
        }
    p->restore();
}

bool IsPlainFrame(const QWidget* w) {
    return w && std::strcmp(w->metaObject()->className(), "QFrame") == 0;
}

// The state picture of a clickable control, falling back to the normal one.
std::string ButtonStateKey(const TSkinEntry& e, const QStyleOption* opt, bool isDefault) {
    const QStyle::State s = opt->state;
    auto pick = [&](const char* key) { return e.Has(key) ? std::string(key) : "skinrect"; };
    if (!(s & QStyle::State_Enabled))
        return pick("disabledskinrect");
    if (s & (QStyle::State_Sunken | QStyle::State_On))
        return pick("downskinrect");
    if (s & QStyle::State_MouseOver)
        return pick("activeskinrect");
    if (isDefault)
        return pick("defaultskinrect");
    return "skinrect";
}

std::string FieldStateKey(const TSkinEntry& e, const QStyleOption* opt) {
    if (!(opt->state & QStyle::State_Enabled) && e.Has("disabledskinrect"))
        return "disabledskinrect";
    if ((opt->state & QStyle::State_HasFocus) && e.Has("focusedskinrect"))
        return "focusedskinrect";
    return "skinrect";
}

std::string IndicatorKey(const TSkinEntry& e, const QStyleOption* opt) {
    const bool on = opt->state & (QStyle::State_On | QStyle::State_NoChange);
    std::string key = "skinrect";
    if (!(opt->state & QStyle::State_Enabled))
        key = on ? "disabledcheckedskinrect" : "disabledskinrect";
    else if (opt->state & QStyle::State_MouseOver)
        key = on ? "activecheckedskinrect" : "activeskinrect";
    else if (on)
        key = "checkedskinrect";
    if (!e.Has(key))
        key = on ? "checkedskinrect" : "skinrect";
    return key;
}

QColor FontColorFor(const TSkinEntry& e, const QStyleOption* opt, const QColor& fallback,
                    bool isDefault = false) {
    QColor c = e.Color("fontcolor", fallback);
    if (!(opt->state & QStyle::State_Enabled))
        return e.Color("disabledfontcolor", c);
    // The default button's own text colour belongs to its default picture;
    // hovered, pressed or checked, the button shows another picture and
    // takes that picture's text colour.
    if (isDefault && e.Has("defaultfontcolor") &&
        !(opt->state & (QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_On)))
        return e.Color("defaultfontcolor", c);
    if (opt->state & QStyle::State_MouseOver)
        return e.Color("activefontcolor", c);
    return c;
}

// A check or option indicator at its picture's size (at most the option's
// rectangle), centred in the option's rectangle.
bool DrawIndicator(QPainter* p, const TSkinData* data, const TSkinEntry& e,
                   const QStyleOption* opt) {
    QRect src;
    const std::string key = IndicatorKey(e, opt);
    if (!e.Rect(key, src))
        return false;
    QRect target(QPoint(0, 0), src.size().boundedTo(opt->rect.size()));
    target.moveCenter(opt->rect.center());
    return DrawSkinRect(p, data, e, key, target, "none");
}

} // namespace

bool DrawSkinRect(QPainter* p, const TSkinData* data, const TSkinEntry& entry,
                  const std::string& key, const QRect& target, const std::string& marginsKey) {
    QRect src;
    if (!data || data->Empty() || !entry.Rect(key, src) || !target.isValid())
        return false;
    const QPixmap pic = data->ActivePixmap(entry.Int("picture", -1));
    if (pic.isNull() || !pic.rect().contains(src))
        return false;
    DrawNineSlice(p, pic, src, entry.Margins(marginsKey), target);
    return true;
}

TSkinStyle::TSkinStyle(TSkinData* skinData)
    : QProxyStyle(QStyleFactory::create("Fusion")), FSkinData(skinData) {
    if (skinData) {
        connect(skinData, &TSkinData::SkinChanging, this, &TSkinStyle::Refresh);
        connect(skinData, &TSkinData::SkinChanged, this, &TSkinStyle::Refresh);
    }
}

const TSkinData* TSkinStyle::DataFor(const QWidget* w) const {
    if (w) {
        const QVariant v = w->property("SkinData");
        if (v.isValid())
            return qobject_cast<TSkinData*>(v.value<QObject*>());
    }
    return FSkinData.data();
}

namespace {

struct TClassEntry {
    const char* Name;
    const char* Kind;
};

// The entry name and kind of a widget by its class alone.
TClassEntry ClassEntryOf(const QWidget* w) {
    if (qobject_cast<const QPushButton*>(w))
        return {"button", "button"};
    if (qobject_cast<const QToolButton*>(w))
        return {"", "button"};
    if (qobject_cast<const QLineEdit*>(w))
        return {"edit", "edit"};
    if (qobject_cast<const QCheckBox*>(w))
        return {"checkbox", "checkradio"};
    if (qobject_cast<const QRadioButton*>(w))
        return {"radiobox", "checkradio"};
    if (qobject_cast<const QComboBox*>(w))
        return {"combobox", "combobox"};
    if (qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QTextEdit*>(w))
        return {"memo", "memo"};
    if (qobject_cast<const QGroupBox*>(w))
        return {"groupbox", "panel"};
    if (qobject_cast<const QAbstractItemView*>(w))
        return {"listview", "listview"};
    if (qobject_cast<const QLabel*>(w))
        return {"stdlabel", "stdlabel"};
    if (auto* sb = qobject_cast<const QScrollBar*>(w))
        return {sb->orientation() == Qt::Horizontal ? "hscrollbar" : "vscrollbar", "scrollbar"};
    if (IsPlainFrame(w))
        return {"panel", "panel"};
    return {"", ""};
}

} // namespace

std::string TSkinStyle::EntryNameFor(const QWidget* w) {
    if (!w)
        return {};
    const QVariant v = w->property("SkinDataName");
    if (v.isValid())
        return v.toString().toStdString();
    return ClassEntryOf(w).Name;
}

std::string TSkinStyle::KindFor(const QWidget* w) {
    if (!w)
        return {};
    const std::string kind = ClassEntryOf(w).Kind;
    if (!kind.empty())
        return kind;
    const QVariant v = w->property("SkinDataKind");
    return v.isValid() ? v.toString().toStdString() : std::string();
}

const TSkinEntry* TSkinStyle::EntryFor(const QWidget* w) const {
    const TSkinData* data = DataFor(w);
    if (!w || !data || data->Empty())
        return nullptr;
    const std::string name = EntryNameFor(w);
    return name.empty() ? nullptr : data->FindControl(name, KindFor(w));
}

QPalette TSkinStyle::standardPalette() const {
    QPalette pal = baseStyle()->standardPalette();
    if (!FSkinData || FSkinData->Empty())
        return pal;
    const TSkinEntry& f = FSkinData->FormInfo();
    auto set = [&](QPalette::ColorRole role, const char* key) {
        QColor c;
        if (ParseSkinColor(f.Value(key), c)) {
            pal.setColor(QPalette::Active, role, c);
            pal.setColor(QPalette::Inactive, role, c);
            if (role != QPalette::WindowText && role != QPalette::Text &&
                role != QPalette::ButtonText)
                pal.setColor(QPalette::Disabled, role, c);
        }
    };
    set(QPalette::Window, "clientcolor");
    set(QPalette::Button, "clientcolor");
    set(QPalette::WindowText, "textcolor");
    set(QPalette::Text, "textcolor");
    set(QPalette::ButtonText, "textcolor");
    set(QPalette::Base, "basecolor");
    set(QPalette::AlternateBase, "alternatebasecolor");
    set(QPalette::Highlight, "highlightcolor");
    set(QPalette::HighlightedText, "highlighttextcolor");
    set(QPalette::Link, "linkcolor");
    QColor disabled;
    if (ParseSkinColor(f.Value("disabledtextcolor"), disabled))
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            pal.setColor(QPalette::Disabled, role, disabled);
    QColor c;
    if (ParseSkinColor(FSkinData->HintWindow().Value("bgcolor"), c))
        pal.setColor(QPalette::ToolTipBase, c);
    if (ParseSkinColor(FSkinData->HintWindow().Value("fontcolor"), c))
        pal.setColor(QPalette::ToolTipText, c);
    return pal;
}

void TSkinStyle::polish(QPalette& pal) {
    pal = standardPalette();
}

void TSkinStyle::polish(QWidget* w) {
    QProxyStyle::polish(w);
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w) ||
        qobject_cast<QPushButton*>(w) || qobject_cast<QToolButton*>(w) ||
        qobject_cast<QComboBox*>(w) || qobject_cast<QScrollBar*>(w) ||
        qobject_cast<QHeaderView*>(w))
        w->setAttribute(Qt::WA_Hover, true);
    const TSkinEntry* e = EntryFor(w);
    if (!e)
        return;
    if (e->HasFont() && (!w->testAttribute(Qt::WA_SetFont) || w->property(kSkinFont).toBool())) {
        w->setFont(e->Font(QApplication::font()));
        w->setProperty(kSkinFont, true);
    }
    // Field and list colours of the entry go into the widget's own palette;
    // what the widget had is kept to be restored when the skin goes.
    QPalette pal = w->palette();
    bool changed = false;
    auto set = [&](QPalette::ColorRole role, const char* key) {
        QColor c;
        if (ParseSkinColor(e->Value(key), c)) {
            pal.setColor(QPalette::Active, role, c);
            pal.setColor(QPalette::Inactive, role, c);
            changed = true;
        }
    };
    const std::string kind = e->Kind;
    if (kind == "edit" || kind == "memo" || kind == "combobox" || kind == "listview") {
        set(QPalette::Base, "bgcolor");
        set(QPalette::Text, "fontcolor");
    }
    if (kind == "listview") {
        set(QPalette::AlternateBase, "alternatecolor");
        set(QPalette::Highlight, "selectioncolor");
        set(QPalette::HighlightedText, "selectionfontcolor");
        set(QPalette::ButtonText, "headerfontcolor");
    }
    if (kind == "stdlabel" || kind == "checkradio" || kind == "panel")
        set(QPalette::WindowText, "fontcolor");
    if (changed) {
        if (!w->property(kHadPalette).isValid()) {
            w->setProperty(kHadPalette, w->testAttribute(Qt::WA_SetPalette));
            w->setProperty(kOwnPalette, w->palette());
        }
        w->setPalette(pal);
    }
}

void TSkinStyle::unpolish(QWidget* w) {
    if (w->property(kSkinFont).toBool()) {
        w->setFont(QFont());
        w->setAttribute(Qt::WA_SetFont, false);
        w->setProperty(kSkinFont, QVariant());
    }
    const QVariant had = w->property(kHadPalette);
    if (had.isValid()) {
        if (had.toBool()) {
            w->setPalette(w->property(kOwnPalette).value<QPalette>());
        } else {
            w->setPalette(QPalette());
            w->setAttribute(Qt::WA_SetPalette, false);
        }
        w->setProperty(kHadPalette, QVariant());
        w->setProperty(kOwnPalette, QVariant());
    }
    QProxyStyle::unpolish(w);
}

void TSkinStyle::Refresh() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (QApplication::style() == this)
        QApplication::setPalette(standardPalette());
    for (QWidget* w : QApplication::allWidgets()) {
        if (w->style() != this)
            continue;
        unpolish(w);
        polish(w);
        w->updateGeometry();
        w->update();
    }
}

void TSkinStyle::drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                               const QWidget* w) const {
    const TSkinData* data = DataFor(w);
    const TSkinEntry* e = EntryFor(w);
    switch (pe) {
    case PE_PanelButtonCommand:
    case PE_PanelButtonTool:
    case PE_PanelButtonBevel:
        if (e && e->Kind == "button") {
            const auto* b = qstyleoption_cast<const QStyleOptionButton*>(opt);
            const bool isDefault = b && (b->features & QStyleOptionButton::DefaultButton);
            if (DrawSkinRect(p, data, *e, ButtonStateKey(*e, opt, isDefault), opt->rect))
                return;
        }
        break;
    case PE_FrameDefaultButton:
        if (e && e->Kind == "button")
            return;
        break;
    case PE_PanelLineEdit:
        if (e && (e->Kind == "edit") &&
            DrawSkinRect(p, data, *e, FieldStateKey(*e, opt), opt->rect))
            return;
        // An edit field inside a skinned combo box draws no frame of its own.
        if (w && qobject_cast<const QComboBox*>(w->parentWidget()) && EntryFor(w->parentWidget())) {
            p->fillRect(opt->rect, opt->palette.base());
            return;
        }
        break;
    case PE_FrameLineEdit:
        if (e && e->Kind == "edit")
            return;
        break;
    case PE_Frame:
        if (e && (e->Kind == "memo" || e->Kind == "listview" || e->Kind == "panel") &&
            DrawSkinRect(p, data, *e, e->Kind == "memo" ? FieldStateKey(*e, opt) : "skinrect",
                         opt->rect))
            return;
        break;
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton:
        if (e && e->Kind == "checkradio" && DrawIndicator(p, data, *e, opt))
            return;
        break;
    case PE_IndicatorItemViewItemCheck:
        // Tick boxes in lists look like the skin's check boxes.
        if (data && !data->Empty())
            if (const TSkinEntry* c = data->FindControl("checkbox", "checkradio"))
                if (DrawIndicator(p, data, *c, opt))
                    return;
        break;
    case PE_PanelScrollAreaCorner:
        if (data && !data->Empty())
            if (const TSkinEntry* c = data->FindControl("bothhscrollbar", "scrollbar"))
                if (DrawSkinRect(p, data, *c, "skinrect", opt->rect, "none"))
                    return;
        break;
    case PE_FrameFocusRect:
        // Skinned buttons show focus with their default picture.
        if (e && e->Kind == "button")
            return;
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(pe, opt, p, w);
}

void TSkinStyle::drawControl(ControlElement ce, const QStyleOption* opt, QPainter* p,
                             const QWidget* w) const {
    const TSkinData* data = DataFor(w);
    const TSkinEntry* e = EntryFor(w);
    switch (ce) {
    case CE_PushButtonLabel:
        if (e && e->Kind == "button") {
            if (const auto* b = qstyleoption_cast<const QStyleOptionButton*>(opt)) {
                QStyleOptionButton copy = *b;
                const bool isDefault = b->features & QStyleOptionButton::DefaultButton;
                copy.palette.setColor(
                    QPalette::ButtonText,
                    FontColorFor(*e, opt, b->palette.color(QPalette::ButtonText), isDefault));
                QProxyStyle::drawControl(ce, &copy, p, w);
                return;
            }
        }
        break;
    case CE_CheckBoxLabel:
    case CE_RadioButtonLabel:
        if (e && e->Kind == "checkradio") {
            if (const auto* b = qstyleoption_cast<const QStyleOptionButton*>(opt)) {
                QStyleOptionButton copy = *b;
                copy.palette.setColor(
                    QPalette::WindowText,
                    FontColorFor(*e, opt, b->palette.color(QPalette::WindowText)));
                QProxyStyle::drawControl(ce, &copy, p, w);
                return;
            }
        }
        break;
    case CE_HeaderEmptyArea:
    case CE_HeaderSection: {
        const QWidget* view = w ? w->parentWidget() : nullptr;
        const TSkinEntry* lv = view ? EntryFor(view) : nullptr;
        if (lv && lv->Kind == "listview") {
            const bool hot =
                ce == CE_HeaderSection && (opt->state & (State_MouseOver | State_Sunken));
            const std::string key =
                hot && lv->Has("activeheaderrect") ? "activeheaderrect" : "headerrect";
            if (DrawSkinRect(p, DataFor(view), *lv, key, opt->rect, "headermargins"))
                return;
        }
        break;
    }
    case CE_ShapedFrame:
        if (e && (e->Kind == "panel" || e->Kind == "memo" || e->Kind == "listview")) {
            const auto* f = qstyleoption_cast<const QStyleOptionFrame*>(opt);
            if (f && f->frameShape != QFrame::NoFrame && f->frameShape != QFrame::HLine &&
                f->frameShape != QFrame::VLine) {
                drawPrimitive(PE_Frame, opt, p, w);
                return;
            }
        }
        break;
    default:
        break;
    }
    (void)data;
    QProxyStyle::drawControl(ce, opt, p, w);
}

void TSkinStyle::drawComplexControl(ComplexControl cc, const QStyleOptionComplex* opt, QPainter* p,
                                    const QWidget* w) const {
    const TSkinData* data = DataFor(w);
    const TSkinEntry* e = EntryFor(w);
    if (cc == CC_ComboBox && e && e->Kind == "combobox") {
        if (DrawSkinRect(p, data, *e, FieldStateKey(*e, opt), opt->rect)) {
            const QRect arrow = subControlRect(cc, opt, SC_ComboBoxArrow, w);
            std::string key = "buttonrect";
            if ((opt->state & State_Sunken) && e->Has("downbuttonrect"))
                key = "downbuttonrect";
            else if ((opt->state & State_MouseOver) && e->Has("activebuttonrect"))
                key = "activebuttonrect";
            DrawSkinRect(p, data, *e, key, arrow, "none");
            return;
        }
    }
    if (cc == CC_ScrollBar && e && e->Kind == "scrollbar") {
        if (DrawSkinRect(p, data, *e, "skinrect", opt->rect)) {
            const QRect slider = subControlRect(cc, opt, SC_ScrollBarSlider, w);
            std::string key = "thumbrect";
            const bool onSlider = opt->activeSubControls & SC_ScrollBarSlider;
            if (onSlider && (opt->state & State_Sunken) && e->Has("downthumbrect"))
                key = "downthumbrect";
            else if (onSlider && (opt->state & State_MouseOver) && e->Has("activethumbrect"))
                key = "activethumbrect";
            if (slider.isValid() && (opt->state & State_Enabled))
                DrawSkinRect(p, data, *e, key, slider, "thumbmargins");
            return;
        }
    }
    if (cc == CC_GroupBox && e && e->Kind == "panel") {
        if (const auto* g = qstyleoption_cast<const QStyleOptionGroupBox*>(opt)) {
            const QRect frame = subControlRect(cc, opt, SC_GroupBoxFrame, w);
            if (DrawSkinRect(p, data, *e, "skinrect", frame)) {
                QStyleOptionGroupBox copy = *g;
                copy.subControls &= ~SC_GroupBoxFrame;
                copy.textColor = e->Color("fontcolor", g->textColor);
                QProxyStyle::drawComplexControl(cc, &copy, p, w);
                return;
            }
        }
    }
    QProxyStyle::drawComplexControl(cc, opt, p, w);
}

QRect TSkinStyle::subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                                 const QWidget* w) const {
    const TSkinEntry* e = EntryFor(w);
    if (cc == CC_ScrollBar && e && e->Kind == "scrollbar") {
        if (const auto* sb = qstyleoption_cast<const QStyleOptionSlider*>(opt)) {
            const bool horizontal = sb->orientation == Qt::Horizontal;
            const QRect r = opt->rect;
            const int length = horizontal ? r.width() : r.height();
            const int range = sb->maximum - sb->minimum;
            int thumb = length;
            if (range > 0)
                thumb = std::max(std::min(length, 20),
                                 static_cast<int>(qint64(length) * sb->pageStep /
                                                  (qint64(range) + sb->pageStep)));
            const int pos = sliderPositionFromValue(sb->minimum, sb->maximum, sb->sliderPosition,
                                                    length - thumb, sb->upsideDown);
            auto along = [&](int start, int len) {
                return horizontal ? QRect(r.left() + start, r.top(), len, r.height())
                                  : QRect(r.left(), r.top() + start, r.width(), len);
            };
            switch (sc) {
            case SC_ScrollBarGroove:
                return r;
            case SC_ScrollBarSlider:
                return along(pos, thumb);
            case SC_ScrollBarSubPage:
                return along(0, pos);
            case SC_ScrollBarAddPage:
                return along(pos + thumb, length - pos - thumb);
            case SC_ScrollBarAddLine:
            case SC_ScrollBarSubLine:
            case SC_ScrollBarFirst:
            case SC_ScrollBarLast:
                return {};
            default:
                break;
            }
        }
    }
    if (cc == CC_ComboBox && e && e->Kind == "combobox") {
        QRect button;
        const int bw = e->Rect("buttonrect", button) ? button.width() : 20;
        const QMargins m = e->Margins("margins");
        const QRect r = opt->rect;
        if (sc == SC_ComboBoxArrow)
            return QRect(r.right() - bw - m.right() + 2, r.top() + 1, bw, r.height() - 2);
        if (sc == SC_ComboBoxEditField)
            return QRect(r.left() + m.left() + 2, r.top() + m.top(),
                         r.width() - bw - m.left() - m.right() - 2,
                         r.height() - m.top() - m.bottom());
        if (sc == SC_ComboBoxFrame)
            return r;
    }
    return QProxyStyle::subControlRect(cc, opt, sc, w);
}

int TSkinStyle::pixelMetric(PixelMetric pm, const QStyleOption* opt, const QWidget* w) const {
    const TSkinData* data = FSkinData.data();
    const bool skinned = data && !data->Empty();
    switch (pm) {
    case PM_ScrollBarExtent:
        if (skinned) {
            QRect r;
            const TSkinEntry* v = data->FindControl("vscrollbar", "scrollbar");
            if (v && v->Rect("skinrect", r))
                return r.width();
        }
        break;
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        if (skinned) {
            const bool radio =
                pm == PM_ExclusiveIndicatorWidth || pm == PM_ExclusiveIndicatorHeight;
            QRect r;
            const TSkinEntry* c = data->FindControl(radio ? "radiobox" : "checkbox", "checkradio");
            if (c && c->Rect("skinrect", r))
                return pm == PM_IndicatorWidth || pm == PM_ExclusiveIndicatorWidth ? r.width()
                                                                                   : r.height();
        }
        break;
    case PM_ButtonDefaultIndicator:
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
        if (skinned)
            return 0;
        break;
    default:
        break;
    }
    return QProxyStyle::pixelMetric(pm, opt, w);
}

QSize TSkinStyle::sizeFromContents(ContentsType ct, const QStyleOption* opt, const QSize& size,
                                   const QWidget* w) const {
    QSize s = QProxyStyle::sizeFromContents(ct, opt, size, w);
    const TSkinEntry* e = EntryFor(w);
    if (ct == CT_PushButton && e && e->Kind == "button") {
        QRect r;
        if (e->Rect("skinrect", r))
            s.setHeight(std::max(size.height() + 6, r.height()));
    }
    return s;
}

int TSkinStyle::styleHint(StyleHint sh, const QStyleOption* opt, const QWidget* w,
                          QStyleHintReturn* ret) const {
    if (sh == SH_ScrollBar_Transient)
        return 0;
    return QProxyStyle::styleHint(sh, opt, w, ret);
}

TSkinData* ApplicationSkinData() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (auto* s = qobject_cast<TSkinStyle*>(QApplication::style()))
        return s->SkinData();
    return nullptr;
}

void ApplySkinToApplication(TSkinData* skinData) {
    auto* style = new TSkinStyle(skinData);
    QApplication::setStyle(style); // the application takes it over
    QApplication::setPalette(style->standardPalette());
}

} // namespace quillory
