// Builds the template database that every new data file starts from: the seven empty tables of the
// data module (with the transfer category), packed as a data file archive.
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "util/ZipArchive.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mktemplate OUTPUT.zip\n");
        return 2;
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "mktemplate: cannot make a temporary folder\n");
        return 1;
    }
    try {
        dorv::TDm::CreateDatabase(dir.path());
    } catch (const dorv::DbError& e) {
        std::fprintf(stderr, "mktemplate: %s\n", e.what());
        return 1;
    }
    QString error;
    if (dorv::ZipArchive::pack(dir.path(), QString::fromLocal8Bit(argv[1]), QString(), &error) <= 0) {
        std::fprintf(stderr, "mktemplate: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
