#include <quillmere/About_Form.h>
#include <quillmere/Bridge.h>

#include <corvale/version.h>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace Quillmere {

// Reserved example domains: the tool names no real site of anyone.
const char* const About_Form::MakerAddress = "https://ostrand.example/quillmere";
const char* const About_Form::AuthorAddress = "https://corvale.example/";

namespace {
QLabel* makeLink(QWidget* owner, const QString& name, const QString& address) {
    auto* link = new QLabel(owner);
    link->setObjectName(name);
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
    // The address goes to our handler, which hands it to the desktop.
    link->setOpenExternalLinks(false);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setFocusPolicy(Qt::StrongFocus);
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

QLabel* makeLabel(QWidget* owner, const QString& name, const QString& text) {
    auto* label = new QLabel(text, owner);
    label->setObjectName(name);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}
}  // namespace

About_Form::About_Form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About_Form"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowIcon(windowIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    label1 = makeLabel(this, QStringLiteral("label1"), QStringLiteral("Ostrand Quillmere Tool"));
    QFont title(QStringLiteral("Microsoft Sans Serif"));
    title.setPointSizeF(8.25);
    title.setBold(true);
    // Where that face is missing, the desktop's own sans serif stands in, at
    // least as large as the rest of the box.
    title.setStyleHint(QFont::SansSerif);
    if (title.pointSizeF() < font().pointSizeF()) title.setPointSizeF(font().pointSizeF());
    label1->setFont(title);
    label2 = makeLabel(this, QStringLiteral("label2"),
                       QStringLiteral("Version %1, powered by Corvale engine")
                           .arg(QStringLiteral(CORVALE_VERSION)));
    label3 = makeLabel(this, QStringLiteral("label3"), QStringLiteral("Made by Ostrand Software"));
    linkLabel1 = makeLink(this, QStringLiteral("linkLabel1"), QLatin1String(MakerAddress));
    label4 = makeLabel(this, QStringLiteral("label4"),
                       QStringLiteral("Written by the Corvale developers"));
    linkLabel2 = makeLink(this, QStringLiteral("linkLabel2"), QLatin1String(AuthorAddress));
    button1 = new QPushButton(QStringLiteral("OK"), this);
    button1->setObjectName(QStringLiteral("button1"));
    button1->setDefault(true);
    button1->setAutoDefault(true);

    // The layout's positions, scaled to the font like the rest of the window.
    const int x = scaledWidth(this, 12);
    const int ys[] = {10, 30, 50, 70, 90, 110};
    QLabel* const column[] = {label1, label2, label3, linkLabel1, label4, linkLabel2};
    for (int i = 0; i < 6; ++i) {
        column[i]->adjustSize();
        column[i]->move(x, scaledHeight(this, ys[i]));
    }
    const QSize box(scaledWidth(this, 294), scaledHeight(this, 165));
    const QSize button(scaledWidth(this, 75), scaledHeight(this, 23));
    button1->resize(button);
    // Anchored bottom right: the layout's margins to those edges.
    button1->move(box.width() - scaledWidth(this, 294 - 207),
                  box.height() - scaledHeight(this, 165 - 130));
    setFixedSize(box);

    connect(button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(linkLabel1, &QLabel::linkActivated, this, &About_Form::linkLabel1_LinkClicked);
    connect(linkLabel2, &QLabel::linkActivated, this, &About_Form::linkLabel2_LinkClicked);

    setTabOrder(button1, linkLabel1);
    setTabOrder(linkLabel1, linkLabel2);
    button1->setFocus();
}

void About_Form::keyPressEvent(QKeyEvent* event) {
    // No cancel button: Escape does nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void About_Form::linkLabel1_LinkClicked() {
    QDesktopServices::openUrl(QUrl(QLatin1String(MakerAddress)));
}

void About_Form::linkLabel2_LinkClicked() {
    QDesktopServices::openUrl(QUrl(QLatin1String(AuthorAddress)));
}

}  // namespace Quillmere
