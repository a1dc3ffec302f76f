#include "ui/shell/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace {

constexpr const char* HelpContextProperty = "helpContext";

QString GuideFile() {
    const QString Name = QStringLiteral("user-guide.html");
    QStringList Folders;
    if (const QString Env = qEnvironmentVariable("TODOLIST_DOC_DIR"); !Env.isEmpty())
        Folders << Env;
    Folders << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/todolist");
    Folders << QStringLiteral(TODO_SOURCE_DOC_DIR);
    for (const QString& Folder : Folders) {
        QFileInfo File(QDir(Folder), Name);
        if (File.isFile())
            return File.canonicalFilePath();
    }
    return {};
}

} // namespace

QUrl HelpUrl(int HelpContext) {
    const QString File = GuideFile();
    if (File.isEmpty())
        return {};
    QUrl Url = QUrl::fromLocalFile(File);
    Url.setFragment(QStringLiteral("help-%1").arg(HelpContext));
    return Url;
}

bool ShowHelp(int HelpContext) {
    const QUrl Url = HelpUrl(HelpContext);
    return !Url.isEmpty() && QDesktopServices::openUrl(Url);
}

void SetHelpContext(QObject* Object, int HelpContext) {
    Object->setProperty(HelpContextProperty, HelpContext);
}

int HelpContextOf(const QObject* Object) {
    return Object ? Object->property(HelpContextProperty).toInt() : 0;
}

int HelpContextAt(const QWidget* Focus, int Fallback) {
    for (const QWidget* W = Focus; W; W = W->parentWidget())
        if (const int Context = HelpContextOf(W))
            return Context;
    return Fallback;
}
