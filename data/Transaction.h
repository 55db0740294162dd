#pragma once
#include "Database.h"
#include "DbError.h"
#include "util/Swallowed.h"

namespace dorv {

// Several writes that stand or fall together (an operation, its transfer's other row and both
// balances): commit() keeps them; leaving the block without it puts the database back as it was.
// The datasets that showed the undone writes must be re-read by whoever started it.
class Transaction final {
public:
    explicit Transaction(Database& db) : m_db(db) { m_db.exec(QStringLiteral("SAVEPOINT dorv_change")); }
    ~Transaction()
    {
        if (m_done)
            return;
        try {
            m_db.exec(QStringLiteral("ROLLBACK TO dorv_change"));
            m_db.exec(QStringLiteral("RELEASE dorv_change"));
        } catch (...) {
            // The error that left the block is the one to tell, and a destructor may not throw; a
            // database that cannot roll back fails its next write as well.
            noteSwallowed("rolling back a change");
        }
    }
    void commit()
    {
        m_db.exec(QStringLiteral("RELEASE dorv_change"));
        m_done = true;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& m_db;
    bool m_done = false;
};

} // namespace dorv
