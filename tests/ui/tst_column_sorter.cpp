// The comparer and the header-click rule, on a bare list.
#include "UiTestSupport.h"

#include <quillmere/ColumnSorter.h>
#include <quillmere/SortedList.h>

#include <QLocale>

using namespace UiTest;
using Quillmere::SortedList;
using Quillmere::SortedRow;

class ColumnSorterTest : public QObject {
    Q_OBJECT

    static SortedRow row(const QString& a, const QString& b = {}) { return SortedRow({a, b}); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void constructors() {
        QCOMPARE(ColumnSorter().CurrentColumn, 1);
        QCOMPARE(ColumnSorter(3).CurrentColumn, 3);
        QCOMPARE(ColumnSorter(-2).CurrentColumn, -2);
    }

    void compare_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::addColumn<int>("sign");
        QTest::newRow("locale, not code points") << 1 << "alpha"
                                                 << "Beta" << -1;
        QTest::newRow("lower case first when otherwise equal") << 1 << "alpha"
                                                               << "Alpha" << -1;
        QTest::newRow("case does not beat letters") << 1 << "Zeta"
                                                    << "alpha" << 1;
        QTest::newRow("equal") << 1 << "same"
                               << "same" << 0;
        QTest::newRow("empty first") << 1 << ""
                                     << "a" << -1;
        QTest::newRow("empty before punctuation") << 1 << ""
                                                  << "(none)" << -1;
        QTest::newRow("both empty") << 1 << ""
                                    << "" << 0;
        QTest::newRow("descending flips") << -1 << "alpha"
                                          << "Beta" << 1;
        QTest::newRow("descending: empty last") << -1 << ""
                                                << "a" << 1;
        QTest::newRow("descending equal stays 0") << -1 << "x"
                                                  << "x" << 0;
        QTest::newRow("digits as text") << 1 << "10"
                                        << "3" << -1;
    }
    void compare() {
        QFETCH(int, key);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(int, sign);
        ColumnSorter sorter(key);
        const SortedRow a = row(x), b = row(y);
        const int r = sorter.Compare(a, b);
        QCOMPARE((r > 0) - (r < 0), sign);
        const int back = sorter.Compare(b, a);
        QCOMPARE((back > 0) - (back < 0), -sign);
    }

    void compareReadsTheKeysColumn() {
        ColumnSorter sorter(2);
        const SortedRow a = row("a", "z"), b = row("b", "y");
        QVERIFY(sorter.Compare(a, b) > 0);
        sorter.CurrentColumn = 1;
        QVERIFY(sorter.Compare(a, b) < 0);
        // The cells are read at each call: a changed text counts at once.
        SortedRow c = row("c", "a");
        sorter.CurrentColumn = 2;
        QVERIFY(sorter.Compare(a, c) > 0);
        c.setText(1, QStringLiteral("zz"));
        QVERIFY(sorter.Compare(a, c) < 0);
    }

    void headerClicks_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<QList<int>>("clicks");  // zero-based columns
        QTest::addColumn<int>("key");
        QTest::newRow("new column ascending") << 1 << QList<int>{2} << 3;
        QTest::newRow("same column flips") << 1 << QList<int>{2, 2} << -3;
        QTest::newRow("third click ascending again") << 1 << QList<int>{2, 2, 2} << 3;
        QTest::newRow("initial column flips at once") << 1 << QList<int>{0} << -1;
        QTest::newRow("other column after descending") << 1 << QList<int>{1, 1, 3} << 4;
        QTest::newRow("descending start") << -3 << QList<int>{2} << 3;
        QTest::newRow("services start") << 3 << QList<int>{3, 2} << 3;
    }
    void headerClicks() {
        QFETCH(int, start);
        QFETCH(QList<int>, clicks);
        QFETCH(int, key);
        SortedList list;
        list.setHeaderLabels({"a", "b", "c", "d"});
        ColumnSorter sorter(start);
        list.setItemSorter(&sorter);
        for (int c : clicks) Quillmere::sortColumn(&list, sorter, c);
        QCOMPARE(sorter.CurrentColumn, key);
        QList<int> arrows(4, -1);
        arrows[qAbs(key) - 1] =
            key > 0 ? Quillmere::ImgSortAscending : Quillmere::ImgSortDescending;
        QCOMPARE(headerImages(&list), arrows);
    }

    void attachingSorterSortsAndRowsKeepTheirRecord() {
        SortedList list;
        list.setHeaderLabels({"name"});
        const QStringList names{"delta", "", "Bravo", "alpha", "Charlie"};
        QList<QTreeWidgetItem*> rows;
        for (int i = 0; i < names.size(); ++i) {
            auto* r = new SortedRow(QStringList{names[i]});
            SortedList::setRecordIndex(r, quint64(i));
            rows << r;
        }
        list.addTopLevelItems(rows);
        QCOMPARE(columnTexts(&list, 0), names);  // no sorter: as added

        ColumnSorter sorter(-1);
        list.setItemSorter(&sorter);
        QCOMPARE(columnTexts(&list, 0), (QStringList{"delta", "Charlie", "Bravo", "alpha", ""}));
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            quint64 index = 99;
            QVERIFY(SortedList::recordIndex(list.topLevelItem(i), index));
            QCOMPARE(names.at(int(index)), list.topLevelItem(i)->text(0));
        }
        // A row made elsewhere carries no record.
        quint64 none = 0;
        SortedRow stray(QStringList{"x"});
        QVERIFY(!SortedList::recordIndex(&stray, none));
    }

    void sortKeepsTheCurrentRow() {
        SortedList list;
        list.setHeaderLabels({"name"});
        ColumnSorter sorter(1);
        list.setItemSorter(&sorter);
        for (const char* n : {"b", "c", "a"}) list.addRowSorted(new SortedRow(QStringList{n}));
        QCOMPARE(columnTexts(&list, 0), (QStringList{"a", "b", "c"}));
        list.setCurrentItem(list.topLevelItem(0));
        Quillmere::sortColumn(&list, sorter, 0);
        QCOMPARE(columnTexts(&list, 0), (QStringList{"c", "b", "a"}));
        QCOMPARE(list.currentItem()->text(0), QStringLiteral("a"));
    }

    void emptyAndSingleRowListsSortAnyColumn() {
        SortedList list;
        list.setHeaderLabels({"a", "b"});
        ColumnSorter sorter;
        list.setItemSorter(&sorter);
        Quillmere::sortColumn(&list, sorter, 1);
        QCOMPARE(headerImages(&list), (QList<int>{-1, Quillmere::ImgSortAscending}));
        list.addTopLevelItem(new SortedRow(QStringList{"only", ""}));
        Quillmere::sortColumn(&list, sorter, 1);
        QCOMPARE(list.topLevelItemCount(), 1);
        QCOMPARE(headerImages(&list), (QList<int>{-1, Quillmere::ImgSortDescending}));
    }
};

QTEST_MAIN(ColumnSorterTest)
#include "tst_column_sorter.moc"
