#ifndef LANGUAGE_H
#define LANGUAGE_H

class QObject;
class QString;

// Installs the catalogues for the default locale (the system's unless the program set
// another): Qt's own, so its dialogs match, then the window's lexpack_<lang>.qm from
// `folder`. The translators belong to `owner` and leave the application with it.
// A language with no catalogue leaves the texts in English.
void installTranslations(const QString &folder, QObject *owner);

#endif // LANGUAGE_H
