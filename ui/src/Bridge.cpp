#include <quillmere/Bridge.h>

#include <corvale/BTVendor.h>

#include <QFontMetricsF>
#include <QTextDocument>
#include <QWidget>

namespace Quillmere {

QString toStr(const std::wstring& text) {
    const std::size_t end = text.find(L'\0');
    const std::size_t length = end == std::wstring::npos ? text.size() : end;
    return QString::fromWCharArray(text.data(), qsizetype(length));
}

QString vendorText(const Corvale::BTAddress& address) {
    const std::optional<std::string_view> name = Corvale::VendorName(address);
    return name ? QString::fromUtf8(name->data(), qsizetype(name->size())) : QString();
}

QString capped(const QString& text, qsizetype length) {
    if (text.size() <= length) return text;
    qsizetype keep = qMax<qsizetype>(length - 1, 0);
    if (keep > 0 && text.at(keep - 1).isHighSurrogate()) --keep;
    return text.left(keep) + QChar(0x2026);
}

QString plainToolTip(const QString& text) {
    const QString cut = capped(text, ToolTipLength);
    QString shown;
    shown.reserve(cut.size() + cut.size() / 32);
    qsizetype run = 0;  // characters since the last place a line may break
    for (QChar c : cut) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
        // A zero-width space lets a long word break, or it would run off
        // the screen; never inside a surrogate pair.
        if (run >= 32 && !c.isLowSurrogate()) {
            shown += QChar(0x200B);
            run = 0;
        }
        shown += c;
        run = c.isSpace() ? 0 : run + 1;
    }
    // "<p>" and the escaped text: Qt sees rich text that holds nothing but
    // the characters themselves.
    return Qt::convertFromPlainText(shown, Qt::WhiteSpaceNormal);
}

QString plainTitle(const QString& text) {
    QString shown = capped(text, TitleLength);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    // Qt drops a "[*]" from a title (the place of the modified mark) and
    // shows "[*][*]" as one "[*]".
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    // First strong isolate ... pop directional isolate: what is inside takes
    // its own direction and ends every embedding or override it opened.
    return QChar(0x2068) + shown + QChar(0x2069);
}

QString buttonText(const QString& text, const QFontMetrics& metrics, int width) {
    // No glyph is narrower than a pixel: what is cut here would not fit
    // anyway, and the text measured below stays short.
    QString shown = metrics.elidedText(capped(text, qMax(width, 1)), Qt::ElideRight, width);
    return shown.replace(u'&', QStringLiteral("&&"));
}

QMessageBox* showMessageBox(QWidget* owner, const QString& caption, const QString& text,
                            QMessageBox::Icon icon) {
    auto* box = new QMessageBox(icon, caption, QString(), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setText(capped(text, MessageLength));
    box->setObjectName(QStringLiteral("MessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    return box;
}

QSizeF designScale(const QWidget* widget) {
    const QFontMetricsF fm(widget->font());
    static const QString alphabet =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const qreal width = fm.horizontalAdvance(alphabet) / alphabet.size();
    // Never shrink: small fonts keep the layout's own sizes.
    return QSizeF(qMax<qreal>(1.0, width / 6.0), qMax<qreal>(1.0, fm.height() / 13.0));
}

int scaledWidth(const QWidget* widget, int designWidth) {
    return qRound(designWidth * designScale(widget).width());
}

int scaledHeight(const QWidget* widget, int designHeight) {
    return qRound(designHeight * designScale(widget).height());
}

int majorImageIndex(quint32 major) {
    return major >= 1 && major <= 6 ? int(major) : int(ImgHelp);
}

}  // namespace Quillmere
