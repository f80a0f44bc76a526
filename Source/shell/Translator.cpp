#include "Translator.h"

#include "core/Language.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>
#include <QTabWidget>
#include <QToolBar>
#include <QVariant>
#include <QWidget>

#include <cstring>

namespace velto {

namespace {

constexpr const char* kFormProperty = "velto_form";
constexpr const char* kCaption = "Caption";
constexpr const char* kHint = "Hint";
constexpr const char* kTitle = "Title";
constexpr const char* kItems = "velto_en_Items";

QByteArray EnglishKey(const char* property) { return QByteArray("velto_en_") + property; }

// The tab page a widget is, when it is one.
QTabWidget* TabOwner(const QObject* obj, int* index) {
    auto* w = qobject_cast<const QWidget*>(obj);
    if (!w || !w->parentWidget()) return nullptr;
    // Pages sit in the tab widget's stack.
    auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget());
    if (!tabs) return nullptr;
    int i = tabs->indexOf(const_cast<QWidget*>(w));
    if (i < 0) return nullptr;
    *index = i;
    return tabs;
}

bool HasProperty(const QObject* obj, const char* prop) {
    if (!strcmp(prop, kTitle)) return obj->property(kTitle).isValid();
    if (auto* a = qobject_cast<const QAction*>(obj)) return !a->isSeparator() && !a->menu();
    if (!strcmp(prop, kHint)) return obj->isWidgetType();
    int tab;
    return IsForm(obj) || qobject_cast<const QAbstractButton*>(obj) || qobject_cast<const QLabel*>(obj) ||
           qobject_cast<const QGroupBox*>(obj) || TabOwner(obj, &tab);
}

QString GetProperty(const QObject* obj, const char* prop) {
    if (!strcmp(prop, kTitle)) return obj->property(kTitle).toString();
    if (auto* a = qobject_cast<const QAction*>(obj)) return !strcmp(prop, kHint) ? a->statusTip() : a->text();
    auto* w = qobject_cast<const QWidget*>(obj);
    if (!strcmp(prop, kHint)) return w ? w->toolTip() : QString();
    if (IsForm(obj) && w) return w->windowTitle();
    if (auto* b = qobject_cast<const QAbstractButton*>(obj)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(obj)) return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(obj)) return g->title();
    int tab;
    if (QTabWidget* t = TabOwner(obj, &tab)) return t->tabText(tab);
    return {};
}

void SetProperty(QObject* obj, const char* prop, const QString& v) {
    if (!strcmp(prop, kTitle)) {
        obj->setProperty(kTitle, v);
        return;
    }
    if (auto* a = qobject_cast<QAction*>(obj)) {
        if (!strcmp(prop, kHint)) {
            a->setStatusTip(v);
            a->setToolTip(v);
        } else {
            a->setText(v);
        }
        return;
    }
    auto* w = qobject_cast<QWidget*>(obj);
    if (!strcmp(prop, kHint)) {
        if (w) w->setToolTip(v);
        return;
    }
    if (IsForm(obj) && w) w->setWindowTitle(v);
    else if (auto* b = qobject_cast<QAbstractButton*>(obj)) b->setText(v);
    else if (auto* l = qobject_cast<QLabel*>(obj)) l->setText(v);
    else if (auto* g = qobject_cast<QGroupBox*>(obj)) g->setTitle(v);
    else {
        int tab;
        if (QTabWidget* t = TabOwner(obj, &tab)) t->setTabText(tab, v);
    }
}

// The English text: remembered the first time the object is translated.
QString English(QObject* obj, const char* prop) {
    const QByteArray key = EnglishKey(prop);
    QVariant v = obj->property(key.constData());
    if (v.isValid()) return v.toString();
    QString cur = GetProperty(obj, prop);
    obj->setProperty(key.constData(), cur);
    return cur;
}

}  // namespace

void MarkAsForm(QObject* form) { form->setProperty(kFormProperty, true); }

bool IsForm(const QObject* obj) { return obj && obj->property(kFormProperty).toBool(); }

QString BuiltInText(const QObject* obj, const char* property) {
    QVariant v = obj->property(EnglishKey(property).constData());
    return v.isValid() ? v.toString() : GetProperty(obj, property);
}

TTranslator::TTranslator()
    : lookup_([](const QString& section, const QString& key, const QString& def) {
          return QString::fromStdString(Lang().ReadValue(section.toStdString(), key.toStdString(), def.toStdString()));
      }) {}

TTranslator::TTranslator(Lookup lookup) : lookup_(std::move(lookup)) {}

void TTranslator::translateObject(const QString& section, QObject* obj) {
    // Bars and their menus are translated through their group of bars.
    if (qobject_cast<QMenuBar*>(obj) || qobject_cast<QToolBar*>(obj) || qobject_cast<QMenu*>(obj)) return;
    const QString name = obj->objectName();
    if (auto* combo = qobject_cast<QComboBox*>(obj); combo && !name.isEmpty()) {
        QVariant stored = combo->property(kItems);
        QStringList english;
        if (stored.isValid()) {
            english = stored.toStringList();
        } else {
            for (int j = 0; j < combo->count(); ++j) english << combo->itemText(j);
            combo->setProperty(kItems, english);
        }
        const int keep = combo->currentIndex();
        for (int j = 0; j < combo->count(); ++j) {
            QString def = j < english.size() ? english[j] : combo->itemText(j);
            combo->setItemText(j, lookup_(section, name + ".Item" + QString::number(j), def));
        }
        combo->setCurrentIndex(keep);
    }
    for (const char* prop : {kCaption, kHint, kTitle}) {
        if (name.isEmpty() || !HasProperty(obj, prop)) continue;
        const QString english = English(obj, prop);
        if (english.isEmpty()) continue;
        // An empty translation leaves the English text.
        QString v = lookup_(section, name + "." + prop, english);
        SetProperty(obj, prop, v.isEmpty() ? english : v);
    }
    for (QObject* child : obj->children())
        if (!IsForm(child)) translateObject(section, child);
}

void TTranslator::TranslateComponents(const QString& section, QObject* owner, bool switchOnForms) {
    QString sec = section;
    for (QObject* child : owner->children()) {
        if (IsForm(child)) {
            if (!switchOnForms) continue;
            sec = child->objectName();
        }
        translateObject(sec, child);
    }
}

void TTranslator::TranslateForm(const QString& section, QObject* form) { TranslateComponents(section, form, false); }

void TTranslator::TranslateApplication(const QList<QObject*>& forms) {
    for (QObject* form : forms)
        if (form) translateObject(form->objectName(), form);
}

void TTranslator::TranslateActionManager(const QList<QWidget*>& bars) {
    menuCounter_ = 0;
    for (QWidget* bar : bars)
        if (bar) translateItems(bar);
}

void TTranslator::translateItems(QWidget* list) {
    ++menuCounter_;
    const QList<QAction*> items = list->actions();
    for (int j = 0; j < items.size(); ++j) {
        QMenu* sub = items[j]->menu();
        if (!sub) continue;
        QAction* item = items[j];
        const QString english = English(item, kCaption);
        const QString key = QString::number(menuCounter_) + "-" + QString::number(j) + ".Menu";
        QString v = lookup_("Menu", key, english);
        sub->setTitle(v.isEmpty() ? english : v);
        translateItems(sub);
    }
}

}  // namespace velto
