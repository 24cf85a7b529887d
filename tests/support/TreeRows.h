#pragma once
// Reading the rows of a list view in widget tests. Header-only: the support library has no
// widgets.

#include <QStringList>
#include <QTreeWidget>

namespace tolvek::test {

// The texts of column c, top to bottom.
inline QStringList column(QTreeWidget* list, int c)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(c);
    return texts;
}

// The texts of column c of the selected rows, top to bottom.
inline QStringList selectedNames(QTreeWidget* list, int c)
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            names << list->topLevelItem(i)->text(c);
    return names;
}

} // namespace tolvek::test
