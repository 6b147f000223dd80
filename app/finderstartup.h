#ifndef FINDERSTARTUP_H
#define FINDERSTARTUP_H

class QCoreApplication;

// What the finder does before its window opens: --help and --version print their answer
// and end the process (without a display), and Qt's own texts, such as the standard
// buttons of boxes and dialogs, are Chinese like the window's own, whatever the locale.
class FinderStartup
{
public:
    // For --help (-h) or --version (-v): prints the answer on stdout and returns the exit
    // status; otherwise returns -1 and the window is to open. Options the finder does not
    // know are left to QApplication, which takes Qt's own (-platform, -style, ...).
    static int printRequested(int argc, char *argv[]);
    // Installs Qt's Chinese translation (qtbase_zh_CN, Debian's qttranslations5-l10n) in
    // the application; false where it is not installed, and Qt's texts stay English.
    static bool installQtTranslation(QCoreApplication &app);
};

#endif // FINDERSTARTUP_H
