// Sizes in dialog units, as the window's layout was drawn: a quarter of the
// average character width across, an eighth of the character height down.
// And the push button every part of the window makes the same way.
#pragma once

#include <QFontMetrics>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

namespace ferolin {

struct DialogUnits {
    explicit DialogUnits(const QWidget* w) {
        const QFontMetrics fm = w->fontMetrics();
        x = std::max(1, fm.averageCharWidth());
        y = std::max(1, fm.height());
    }
    int X(int units) const { return (units * x + 2) / 4; }
    int Y(int units) const { return (units * y + 4) / 8; }
    int x, y;
};

// A button that is never the default by merely having the focus.
inline QPushButton* DialogButton(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace ferolin
