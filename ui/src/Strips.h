// Building tool strips the same way in every window.
#pragma once

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QToolBar>
#include <QWidget>
#include <QWidgetAction>

namespace Quillmere {

inline QToolBar* makeStrip(QWidget* owner, const QString& name) {
    auto* strip = new QToolBar(owner);
    strip->setObjectName(name);
    strip->setMovable(false);
    strip->setFloatable(false);
    strip->setIconSize(QSize(16, 16));
    strip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return strip;
}

inline QLabel* addLabel(QToolBar* strip, const QString& name, const QString& text) {
    auto* label = new QLabel(strip);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setContentsMargins(4, 0, 4, 0);
    strip->addWidget(label);
    return label;
}

inline QAction* addSeparator(QToolBar* strip, const QString& name) {
    QAction* separator = strip->addSeparator();
    separator->setObjectName(name);
    return separator;
}

inline QAction* addButton(QToolBar* strip, const QString& name, const QIcon& image,
                          const QString& text, const QString& tip) {
    auto* button = new QAction(image, text, strip);
    button->setObjectName(name);
    // Set on its own: derived from the text, Qt would drop a trailing "...".
    button->setIconText(text);
    button->setToolTip(tip.isEmpty() ? text : tip);
    strip->addAction(button);
    strip->widgetForAction(button)->setObjectName(name + QStringLiteral("_Button"));
    return button;
}

// Enables or disables the strip and its buttons: a button's action says
// whether it can be pressed, whatever the strip's state.
inline void setStripEnabled(QToolBar* strip, bool enabled) {
    strip->setEnabled(enabled);
    for (QAction* action : strip->actions())
        if (!action->isSeparator() && strip->widgetForAction(action) != nullptr &&
            !qobject_cast<QWidgetAction*>(action))
            action->setEnabled(enabled);
}

// Everything added after this stands at the right end of the strip.
inline void addRightAlign(QToolBar* strip, const QString& name) {
    auto* spring = new QWidget(strip);
    spring->setObjectName(name);
    spring->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    strip->addWidget(spring);
}

}  // namespace Quillmere
