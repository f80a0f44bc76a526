#pragma once
// The walk that puts a language file's texts on windows, menus and controls.
//
// A named object's texts are looked up under "<name>.Caption", "<name>.Hint"
// and "<name>.Title" (combo box items under "<name>.Item<j>") in the section
// of its form. The built-in English text of each property is remembered at
// the first translation and is the default of every later lookup, so that a
// partial language file falls back to English, not to the language shown
// before it.
//
// Submenus are translated under section "Menu", key "<list>-<index>.Menu":
// lists are numbered depth-first in the order they are entered, starting at 1
// for each group of bars, and the key takes the running number at the moment
// it is formed.
#include <QList>
#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace velto {

// A window translated under its own section (objectName); the walk of another
// window does not enter it.
void MarkAsForm(QObject* form);
bool IsForm(const QObject* obj);

class TTranslator {
public:
    using Lookup = std::function<QString(const QString& section, const QString& key, const QString& def)>;

    // By default the lookups go to the process-wide language (Lang()).
    TTranslator();
    explicit TTranslator(Lookup lookup);

    // The objects owned by owner, depth-first. With switchOnForms, a form
    // found is translated (its own caption too) under its own name.
    void TranslateComponents(const QString& section, QObject* owner, bool switchOnForms);
    // The form's objects under section; the form's own caption is left alone.
    void TranslateForm(const QString& section, QObject* form);
    // Every form of the list under its own name, its caption included.
    void TranslateApplication(const QList<QObject*>& forms);
    // One group of bars (a menu bar, a tool bar): the running list number
    // restarts at 0 and each bar's items are one list.
    void TranslateActionManager(const QList<QWidget*>& bars);

private:
    void translateObject(const QString& section, QObject* obj);
    void translateItems(QWidget* list);

    Lookup lookup_;
    int menuCounter_ = 0;
};

// The English text an object had before any translation ("Caption", "Hint"),
// or its current text when it was never translated.
QString BuiltInText(const QObject* obj, const char* property);

}  // namespace velto
