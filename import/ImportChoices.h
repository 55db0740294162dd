#pragma once
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace dorv {

class Database;

// What a statement row can be given in the import window: the category paths of each direction,
// the acquaintances and the firms, read from the book once as the window opens.
struct ImportChoices {
    struct Category {
        QString text; // "Еда / Хлеб"
        QVariant level1, level2, level3;
        bool expense = true, income = true; // the trees the item is in
    };
    struct Named {
        QString text;
        QVariant id;
    };
    QList<Category> categories;
    QList<Named> people, firms, accounts;

    static ImportChoices read(Database& db);
    void readFirms(Database& db);

    // The category of a path, or -1; its text for the window.
    int categoryOf(const QVariant& l1, const QVariant& l2, const QVariant& l3) const;
    QString categoryText(const QVariant& l1, const QVariant& l2, const QVariant& l3) const;
    QString personText(const QVariant& id) const { return textOf(people, id); }
    QString firmText(const QVariant& id) const { return textOf(firms, id); }
    QString accountText(const QVariant& id) const { return textOf(accounts, id); }
    // A path of names ("Еда:Овощи", the way other programs write categories) in one direction.
    int categoryByNames(const QString& path, bool income) const;

private:
    static QString textOf(const QList<Named>& list, const QVariant& id);
};

} // namespace dorv
