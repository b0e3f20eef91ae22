#include <quillmere/ColumnSorter.h>

#include <QLocale>
#include <QTreeWidgetItem>

ColumnSorter::ColumnSorter() : ColumnSorter(1) {}

namespace {
// The locale the user runs the program in (QLocale()). Under the C and POSIX
// locales (C.UTF-8 among them, the default of many containers and minimal
// systems) Qt compares code points, every capital before every small letter:
// there the texts are collated as English collates them, which is the
// Unicode root collation.
QLocale collation() {
    const QLocale user;
    return user.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : user;
}
}  // namespace

ColumnSorter::ColumnSorter(qint32 key) : CurrentColumn(key == 0 ? 1 : key), collator(collation()) {
    // Case decides only between otherwise equal texts.
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
}

int ColumnSorter::Compare(const QTreeWidgetItem& x, const QTreeWidgetItem& y) const {
    // |key| - 1 without overflowing on the most negative key.
    const qint64 magnitude = CurrentColumn < 0 ? -qint64(CurrentColumn) : qint64(CurrentColumn);
    const int cell = int(magnitude - 1);
    const int sign = CurrentColumn > 0 ? 1 : -1;

    const QString a = x.text(cell);
    const QString b = y.text(cell);
    int result;
    if (a.isEmpty() || b.isEmpty())
        result = int(!a.isEmpty()) - int(!b.isEmpty());
    else
        result = collator.compare(a, b);
    if (result == 0) return 0;
    return result > 0 ? sign : -sign;
}
