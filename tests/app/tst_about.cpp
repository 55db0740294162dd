#include "app/Calculator.h"
#include "app/DorvAbt.h"
#include "app/HelpWindow.h"
#include "app/JpegImage.h"
#include "app/VersionInfo.h"
#include "support/ScriptedPrompts.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

using namespace dorv;

namespace {

// An 8 × 6 grayscale JPEG, white at the top fading to black at the bottom.
const QByteArray kGrayJpeg =
    QByteArray("\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00\x43"
               "\x00\x03\x02\x02\x03\x02\x02\x03\x03\x03\x03\x04\x03\x03\x04\x05\x08\x05\x05\x04\x04\x05\x0a\x07"
               "\x07\x06\x08\x0c\x0a\x0c\x0c\x0b\x0a\x0b\x0b\x0d\x0e\x12\x10\x0d\x0e\x11\x0e\x0b\x0b\x10\x16\x10"
               "\x11\x13\x14\x15\x15\x15\x0c\x0f\x17\x18\x16\x14\x18\x12\x14\x15\x14\xff\xc0\x00\x0b\x08\x00\x06"
               "\x00\x08\x01\x01\x11\x00\xff\xc4\x00\x14\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
               "\x00\x00\x00\x07\xff\xc4\x00\x1b\x10\x00\x00\x07\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
               "\x00\x00\x01\x04\x06\x19\x52\x93\xd2\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00\x29\x96\xf7\xb5\x16"
               "\xe8\x5d\x0f\xff\xd9",
               173);

QByteArray aboutPicture()
{
    QFile file(QStringLiteral(":/about.jpg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString shippedManual() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../../app/Dorvana.Hlp"); }

} // namespace

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void decodesPictures();
    void rejectsBrokenJpeg_data();
    void rejectsBrokenJpeg();
    void readsStampedVersion_data();
    void readsStampedVersion();
    void programCarriesItsVersion();
    void aboutMode_data();
    void aboutMode();
    void aboutCommandRunsThroughPrompts();
    void splashMode();
    void calculatorStartsFirstFound();
    void calculatorMissing();
    void helpShowsManual();
    void helpSaysWhenManualIsMissing();
};

void TestAbout::decodesPictures()
{
    QString error = QStringLiteral("stale");
    const QImage colour = decodeJpeg(aboutPicture(), &error);
    QCOMPARE(colour.size(), QSize(415, 260));
    QCOMPARE(colour.format(), QImage::Format_RGB888);
    QVERIFY(error.isEmpty());

    const QImage gray = decodeJpeg(kGrayJpeg, &error);
    QCOMPARE(gray.size(), QSize(8, 6));
    QCOMPARE(gray.format(), QImage::Format_Grayscale8);
    // Rows must land in order: a decoder writing them upside down or all into one would fail this.
    QVERIFY(qGray(gray.pixel(0, 0)) > 200);
    QVERIFY(qGray(gray.pixel(0, 5)) < 60);
}

void TestAbout::rejectsBrokenJpeg_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray picture = aboutPicture();
    QVERIFY(!picture.isEmpty());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("foreign data") << QByteArray("\x89PNG\r\n\x1a\n not a jpeg at all");
    QTest::newRow("start marker, then garbage") << QByteArray("\xff\xd8\xff\xe0").append(QByteArray(200, '\x5a'));
    QTest::newRow("headers only") << picture.left(picture.indexOf("\xff\xda"));
    QTest::newRow("cut in the middle") << picture.left(picture.size() / 2);
    QTest::newRow("cut before the end marker") << picture.left(picture.size() - 40);
}

void TestAbout::rejectsBrokenJpeg()
{
    QFETCH(QByteArray, data);
    QString error;
    QVERIFY(decodeJpeg(data, &error).isNull());
    QVERIFY2(error.contains(QStringLiteral("JPEG")), qPrintable(error));
    // The error output is optional.
    QVERIFY(decodeJpeg(data, nullptr).isNull());
}

void TestAbout::readsStampedVersion_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("number");

    const QByteArray junk(300, '\x7f');
    QTest::newRow("stamp amid other bytes")
        << true << junk + VersionStamp(QStringLiteral("1.5.1.9")) + junk << true << "1.5" << quint32(0x00010005);
    QTest::newRow("two-digit minor") << true << VersionStamp(QStringLiteral("2.10.0.3")) << true << "2.10"
                                     << quint32(0x0002000A);
    QTest::newRow("broken marker before the real one")
        << true << VersionStamp(QStringLiteral("x")) + VersionStamp(QStringLiteral("1.5.0.0")) << true << "1.5"
        << quint32(0x00010005);
    QTest::newRow("no stamp") << true << junk << false << QString() << quint32(0);
    QTest::newRow("three numbers") << true << VersionStamp(QStringLiteral("1.5.1")) << false << QString() << quint32(0);
    QTest::newRow("number beyond 16 bits")
        << true << VersionStamp(QStringLiteral("70000.5.1.9")) << false << QString() << quint32(0);
    QTest::newRow("empty file") << true << QByteArray() << false << QString() << quint32(0);
    QTest::newRow("missing file") << false << QByteArray() << false << QString() << quint32(0);
}

void TestAbout::readsStampedVersion()
{
    QFETCH(bool, create);
    QFETCH(QByteArray, contents);
    QFETCH(bool, found);
    QFETCH(QString, text);
    QFETCH(quint32, number);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("program"));
    if (create)
        QVERIFY(writeFile(path, contents));

    QString versionText = QStringLiteral("untouched");
    quint32 versionNumber = 0xDEAD;
    QCOMPARE(GetFileVersion(path, &versionText, &versionNumber), found);
    QCOMPARE(versionText, found ? text : QStringLiteral("untouched"));
    QCOMPARE(versionNumber, found ? number : quint32(0xDEAD));
}

void TestAbout::programCarriesItsVersion()
{
    QCOMPARE(ProgramFilePath(), QCoreApplication::applicationFilePath());
    QString text;
    quint32 number = 0;
    QVERIFY(GetFileVersion(ProgramFilePath(), &text, &number));
    QCOMPARE(text, QStringLiteral("1.5"));
    QCOMPARE(number, quint32(0x00010005));
}

void TestAbout::aboutMode_data()
{
    QTest::addColumn<bool>("hasVersion");
    QTest::newRow("with version") << true;
    QTest::newRow("without version") << false;
}

void TestAbout::aboutMode()
{
    QFETCH(bool, hasVersion);
    TFormAbout form;
    form.ShowAsAbout(hasVersion, QStringLiteral("1.5"));

    QCOMPARE(form.objectName(), QStringLiteral("TFormAbout"));
    QCOMPARE(form.windowTitle(), QStringLiteral("О программе..."));
    QCOMPARE(form.size(), QSize(415, 307));
    QVERIFY(form.findChild<QProgressBar*>(QStringLiteral("Pb"))->isHidden());
    QVERIFY(!form.findChild<QLabel*>(QStringLiteral("LabAb"))->isHidden());
    auto* version = form.findChild<QLabel*>(QStringLiteral("LabVer"));
    QCOMPARE(version->isHidden(), !hasVersion);
    if (hasVersion)
        QCOMPARE(version->text(), QStringLiteral("Version 1.5"));

    // Without the bar the picture covers the whole window, under the green title and its shadow.
    auto* image = form.findChild<QLabel*>(QStringLiteral("Image1"));
    QCOMPARE(image->geometry(), QRect(0, 0, 415, 307));
    const QSize picture = image->pixmap().size();
    QVERIFY2(picture.width() >= 415 && picture.height() >= 307,
             qPrintable(QStringLiteral("%1 × %2").arg(picture.width()).arg(picture.height())));
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label1"))->geometry(), QRect(0, 218, 181, 37));
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label2"))->geometry(), QRect(3, 218, 181, 37));
}

void TestAbout::aboutCommandRunsThroughPrompts()
{
    ScriptedPrompts prompts;
    QString shownVersion;
    bool modal = false;
    prompts.modals.enqueue([&](QDialog* dialog) {
        modal = dialog->isModal();
        shownVersion = dialog->findChild<QLabel*>(QStringLiteral("LabVer"))->text();
        return int(QDialog::Accepted);
    });
    QCOMPARE(RunAbout(prompts, nullptr), int(QDialog::Accepted));
    QCOMPARE(prompts.asked, QStringList{QStringLiteral("modal: TFormAbout")});
    QVERIFY(modal);
    // The test program is stamped like the real one.
    QCOMPARE(shownVersion, QStringLiteral("Version 1.5"));
}

void TestAbout::splashMode()
{
    TFormAbout form;
    // A form used as the about box first must not carry its parts into the splash.
    form.ShowAsAbout(true, QStringLiteral("1.5"));
    form.ShowAsSplash(QStringLiteral("Открытие файла"), 250);

    QVERIFY(form.isVisible());
    QVERIFY(!form.isModal());
    QCOMPARE(form.windowTitle(), QStringLiteral("Открытие файла"));
    QCOMPARE(form.size(), QSize(415, 282));
    auto* bar = form.findChild<QProgressBar*>(QStringLiteral("Pb"));
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), 250);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->geometry(), QRect(0, 260, 415, 22));
    QVERIFY(!form.findChild<QLabel*>(QStringLiteral("LabAb"))->isVisible());
    QVERIFY(!form.findChild<QLabel*>(QStringLiteral("LabVer"))->isVisible());

    form.setProgress(120);
    QCOMPARE(bar->value(), 120);
}

void TestAbout::calculatorStartsFirstFound()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    for (const QString& name : {QStringLiteral("calc-one"), QStringLiteral("calc-two")}) {
        const QString script = dir.filePath(name);
        QVERIFY(writeFile(script, "#!/bin/sh\necho " + name.toUtf8() + " > '" + QFile::encodeName(marker) + "'\n"));
        QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFile::ExeOwner));
    }
    // A file by the first name that cannot be run is no calculator.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("calc-plain")), "not a program"));

    const QStringList candidates{QStringLiteral("calc-missing"), QStringLiteral("calc-plain"),
                                 QStringLiteral("calc-two"), QStringLiteral("calc-one")};
    QCOMPARE(FindCalculator(candidates, {dir.path()}), dir.filePath(QStringLiteral("calc-two")));
    QVERIFY(StartCalculator(candidates, {dir.path()}));
    const auto written = [&marker] {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    };
    QTRY_COMPARE(written(), QByteArray("calc-two"));
}

void TestAbout::calculatorMissing()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QVERIFY(FindCalculator(CalculatorCandidates(), {empty.path()}).isEmpty());
    QVERIFY(!StartCalculator(CalculatorCandidates(), {empty.path()}));
}

void TestAbout::helpShowsManual()
{
    const QString path = shippedManual();
    QVERIFY2(QFile::exists(path), qPrintable(path));
    HelpWindow* window = HelpWindow::showHelp(path, nullptr);
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("HelpWindow"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Dorvana — справка"));
    QVERIFY(window->isVisible());
    auto* text = window->findChild<QTextBrowser*>(QStringLiteral("HelpText"));
    QVERIFY(text);
    // Shown as HTML, not as its source, and opened at the contents.
    QVERIFY(text->toPlainText().contains(QStringLiteral("Содержание")));
    QVERIFY(!text->toPlainText().contains(QStringLiteral("<h2>")));
    QCOMPARE(text->verticalScrollBar()->value(), 0);

    // Asking again brings back the same window.
    QCOMPARE(HelpWindow::showHelp(path, nullptr), window);
    delete window;
}

void TestAbout::helpSaysWhenManualIsMissing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Dorvana.Hlp"));
    HelpWindow* window = HelpWindow::showHelp(path, nullptr);
    auto* text = window->findChild<QTextBrowser*>(QStringLiteral("HelpText"));
    QVERIFY(text->toPlainText().contains(QStringLiteral("не найден")));

    // Once the file is there, asking again shows it instead of the old message.
    QVERIFY(QFile::copy(shippedManual(), path));
    QCOMPARE(HelpWindow::showHelp(path, nullptr), window);
    QVERIFY(text->toPlainText().contains(QStringLiteral("Содержание")));
    delete window;
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
