#pragma once
// A Qt style that draws ordinary widgets from the skin: push buttons, edit
// fields, check and option boxes, combo boxes, memos, group boxes, panels,
// list views, labels and scroll bars take their pictures, fonts and colours
// from the control entry of the skin data. A widget without an entry (or
// while the skin is empty) is drawn in the plain base style.
//
// A widget names its entry with the dynamic property "SkinDataName"; without
// it the class decides: QPushButton "button", QLineEdit "edit", QCheckBox
// "checkbox", QRadioButton "radiobox", QComboBox "combobox", QPlainTextEdit
// and QTextEdit "memo", QGroupBox "groupbox", QFrame "panel", item views
// "listview", QLabel "stdlabel", scroll bars "hscrollbar"/"vscrollbar" and
// the corner between two scroll bars "bothhscrollbar". A widget may point at
// another skin data object with the dynamic property "SkinData" (a QObject*).
#include "ui/SkinData.h"

#include <QPointer>
#include <QProxyStyle>

class QApplication;

namespace quillory {

class TSkinStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit TSkinStyle(TSkinData* skinData);

    TSkinData* SkinData() const { return FSkinData; }

    // The entry a widget draws from, or nullptr (plain style).
    const TSkinEntry* EntryFor(const QWidget* w) const;
    static std::string EntryNameFor(const QWidget* w);
    static std::string KindFor(const QWidget* w);

    QPalette standardPalette() const override;
    void polish(QWidget* w) override;
    void unpolish(QWidget* w) override;
    void polish(QPalette& pal) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                       const QWidget* w = nullptr) const override;
    void drawControl(ControlElement ce, const QStyleOption* opt, QPainter* p,
                     const QWidget* w = nullptr) const override;
    void drawComplexControl(ComplexControl cc, const QStyleOptionComplex* opt, QPainter* p,
                            const QWidget* w = nullptr) const override;
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* opt, SubControl sc,
                         const QWidget* w = nullptr) const override;
    int pixelMetric(PixelMetric pm, const QStyleOption* opt = nullptr,
                    const QWidget* w = nullptr) const override;
    QSize sizeFromContents(ContentsType ct, const QStyleOption* opt, const QSize& size,
                           const QWidget* w = nullptr) const override;
    int styleHint(StyleHint sh, const QStyleOption* opt = nullptr, const QWidget* w = nullptr,
                  QStyleHintReturn* ret = nullptr) const override;

private:
    // Re-reads the look of every widget after the skin changed.
    void Refresh();
    const TSkinData* DataFor(const QWidget* w) const;

    QPointer<TSkinData> FSkinData;
};

// Draws `key` of `entry` (a rectangle of one of the skin's active pictures)
// into `target`, stretching the middle and keeping the "margins" borders
// (or those named by `marginsKey`). False when the entry has no such picture.
bool DrawSkinRect(QPainter* p, const TSkinData* data, const TSkinEntry& entry,
                  const std::string& key, const QRect& target,
                  const std::string& marginsKey = "margins");

// The skin data of the application's style when it is a TSkinStyle.
TSkinData* ApplicationSkinData();

// Makes every window of the application draw from `skinData`: installs a
// TSkinStyle and its palette. Later loads into the skin data re-skin every
// open window.
void ApplySkinToApplication(TSkinData* skinData);

} // namespace quillory
