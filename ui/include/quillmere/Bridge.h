// What both Quillmere windows share: engine text to display text, message
// boxes, the pictures, and scaling of the layout's pixel sizes to the font.
#pragma once

#include <QFontMetrics>
#include <QIcon>
#include <QList>
#include <QMessageBox>
#include <QSizeF>
#include <QString>
#include <QtGlobal>

#include <string>

namespace Corvale {
class BTAddress;
}

namespace Quillmere {

// The characters of an engine string up to its first NUL, unchanged.
QString toStr(const std::wstring& text);

// The registered owner of the address's block, as the windows show it (the
// engine's vendor table, plain ASCII or UTF-8 of our own); empty when no
// registry lists the block.
QString vendorText(const Corvale::BTAddress& address);

// Text from a device (names, comments, any text of its records) is shown as
// plain text everywhere. List cells show plain text by themselves, and every
// label and message box of the windows is set to plain text; a tool tip and a
// button need their text in a form of their own, made here. Qt lays out a
// tool tip that looks like HTML as rich text (nested tables take seconds, a
// picture can take gigabytes, markup can pass for the program's own text),
// and takes '&' in a button's text for a mnemonic marker.

// The longest device text that a tool tip shows, in characters.
inline constexpr qsizetype ToolTipLength = 300;
// The longest text that a message box shows.
inline constexpr qsizetype MessageLength = 2000;
// The longest device text that a window title shows.
inline constexpr qsizetype TitleLength = 80;
// The longest text that a list or tree cell shows; the whole text stays with
// the row (to copy) and its tool tip shows the first ToolTipLength characters.
inline constexpr qsizetype CellLength = 500;

// text cut to at most length characters, "..." (one character) ending a cut
// text; a surrogate pair is never split.
QString capped(const QString& text, qsizetype length);
// A tool tip that shows text as plain text: one paragraph (control
// characters as spaces) that may break within long words, capped, its markup
// characters escaped and the whole marked as rich text, so that Qt shows
// every character and lays out no markup from it.
QString plainToolTip(const QString& text);
// The part of a window title that shows text: one line (control characters
// as spaces), capped at TitleLength, Qt's "[*]" placeholder doubled so that
// it shows as written, and the whole isolated from the bidirectional text
// around it, so that a direction override in it cannot reorder the
// program's own words.
QString plainTitle(const QString& text);
// A cell's text: the text itself up to CellLength characters ("..." ending a
// cut one). Cells draw plain text; a long one would only cost layout time.
inline QString cellText(const QString& text) {
    return capped(text, CellLength);
}
// A button's text that shows text as it is ('&' included), cut with "..."
// to at most width pixels in the button's font.
QString buttonText(const QString& text, const QFontMetrics& metrics, int width);

// Shows a message box with one OK button over owner and returns at once; the
// text is shown as plain text, capped. The
// box blocks every window of the program until it is answered and deletes
// itself then. Nothing waits for the answer, so returning early changes
// nothing for the callers, and the box can be found and read (and answered)
// while the program goes on.
QMessageBox* showMessageBox(QWidget* owner, const QString& caption, const QString& text,
                            QMessageBox::Icon icon);

// The ratio of the widget's font to the font the sizes of the windows were
// designed for (6 x 13 pixels on average per character): sizes scale with it,
// so texts fit whatever font the desktop gives.
QSizeF designScale(const QWidget* widget);
int scaledWidth(const QWidget* widget, int designWidth);
int scaledHeight(const QWidget* widget, int designHeight);

// The list images, by index: 0 help, 1 workstation, 2 mobile phone,
// 3 network, 4 video camera, 5 mouse, 6 printer, 7 sort ascending,
// 8 sort descending, 9 generator (a service). 16 x 16, with 32 x 32 for
// high-density screens.
enum ListImage {
    ImgHelp = 0,
    ImgSortAscending = 7,
    ImgSortDescending = 8,
    ImgService = 9,
    ListImageCount = 10
};
const QList<QIcon>& listImages();
// The image of a device row: its major class 1 to 6, else the question mark.
int majorImageIndex(quint32 major);

QIcon windowIcon();
QIcon refreshImage();
QIcon aboutImage();

}  // namespace Quillmere
