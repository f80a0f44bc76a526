#include "FormAbout.h"

#include <sys/sysinfo.h>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QSysInfo>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <map>
#include <string_view>

#include "DialogParts.h"
#include "RichEditURL.h"
#include "core/Language.h"
#include "shell/MainActions.h"
#include "shell/WebPages.h"

namespace velto {

namespace {

// The credits; lines 0, 2 and 3 are the translator's, filled when shown.
const char* const kAcknowledgements[] = {
    "",
    "",
    "",
    "",
    "",
    "Development environment:",
    "\tGCC, the GNU Compiler Collection - https://gcc.gnu.org",
    "\tCMake and Ninja - https://cmake.org - https://ninja-build.org",
    "",
    "User interface:",
    "\tQt 6 by The Qt Company and the Qt Project - https://www.qt.io",
    "",
    "Compression and picture codecs:",
    "\tzlib by Jean-loup Gailly and Mark Adler - https://zlib.net",
    "\tlibdeflate by Eric Biggers - https://github.com/ebiggers/libdeflate",
    "\tIntel(R) Intelligent Storage Acceleration Library - https://github.com/intel/isa-l",
    "\tlibjpeg-turbo - https://libjpeg-turbo.org",
    "\tOpenJPEG - https://www.openjpeg.org",
    "",
    "The cursor, icon, PNG, GIF and resource code is Velto's own.",
    "Thanks to everyone who tested Velto and translated it.",
};

const char* const kLicence[] = {
    "Velto - an editor for mouse cursors",
    "",
    "This program is free software: you can redistribute it and/or modify it under the terms of the GNU General "
    "Public License as published by the Free Software Foundation, version 3.",
    "",
    "This program is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY; without even the "
    "implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE. See the GNU General Public License "
    "for more details.",
    "",
    "The full licence comes with the program in the file LICENSE, and is published at "
    "https://www.gnu.org/licenses/gpl-3.0.html",
};

const char* const kHistory[] = {
    "+ New feature",
    "* Enhanced feature",
    "- Removed feature",
    "",
    "Version 1.0",
    "\t+ First release",
};

// The drawing tools' commands have no captions: their names on the page.
const std::map<std::string_view, const char*> kToolNames = {
    {"actselect", "Selection"}, {"actcrop", "Crop"},       {"acttext", "Text"},
    {"acterase", "Color Eraser"}, {"actfill", "Fill"},     {"actspray", "Spray"},
    {"actbrush", "Brush"},      {"actpen", "Pencil"},      {"actline", "Line"},
    {"actrect", "Rectangle"},   {"actround", "Rounded Rectangle"}, {"actell", "Ellipse"},
    {"actopac", "Opacity"},     {"actgrad", "Gradient"},   {"actpick", "Color Picker"},
    {"actzoom", "Zoom"},        {"actbright", "Brighten/Darken"}, {"actblur", "Blur/Sharpen"},
};

// Keys that are no command of a menu.
const char* const kGeneralKeys[] = {
    "\t+ / -\tZoom in / out",
    "\t1 .. 7\tBrush size",
    "\tShift\tStraight lines, squares and circles while drawing",
    "\tEscape\tCancel the stroke being drawn",
};

template <std::size_t N>
QStringList Lines(const char* const (&lines)[N]) {
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out;
}

// The first of a command's keys as the user reads it.
QString FirstKey(const char* keys) {
    const QString first = QString::fromLatin1(keys).section(QStringLiteral(" | "), 0, 0);
    return QKeySequence(first, QKeySequence::PortableText).toString(QKeySequence::NativeText);
}

QString MenuCaption(MenuId id) { return QString::fromLatin1(MenuOf(id).caption).remove('&'); }

// The menu on the menu bar that holds a (sub)menu.
MenuId TopMenu(MenuId id) {
    while (MenuOf(id).parent != MenuId::None) id = MenuOf(id).parent;
    return id;
}

TRichEditURL* Memo(QTabWidget* pages, const char* name, const char* title, const QStringList& lines) {
    auto* memo = new TRichEditURL(pages);
    memo->setObjectName(QString::fromLatin1(name));
    memo->SetLines(lines);
    pages->addTab(memo, QString::fromLatin1(title));
    return memo;
}

}  // namespace

QString MemoryText(std::uint64_t bytes) {
    return QLocale().toString(static_cast<qulonglong>(bytes >> 10)) + QStringLiteral(" KB");
}

std::uint64_t TotalPhysicalMemory() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

QString SystemVersionText() {
    return QSysInfo::prettyProductName() + QStringLiteral(" (") + QSysInfo::kernelType() + ' ' +
           QSysInfo::kernelVersion() + ')';
}

QStringList ShortcutLines() {
    QStringList out{QStringLiteral("Tools")};
    for (const ActionSpec& a : MainActionTable())
        if (a.group == ActionGroup::Tools && *a.keys)
            if (auto it = kToolNames.find(a.name); it != kToolNames.end())
                out << QStringLiteral("\t%1\t%2").arg(FirstKey(a.keys), QString::fromLatin1(it->second));
    for (const MenuSpec& menu : MenuTable()) {
        if (menu.parent != MenuId::None) continue;
        QStringList items;
        for (const ActionSpec& a : MainActionTable())
            if (a.group == ActionGroup::Main && *a.keys && a.menu != MenuId::None && TopMenu(a.menu) == menu.id)
                items << QStringLiteral("\t%1\t%2").arg(FirstKey(a.keys), QString::fromLatin1(a.caption));
        if (items.isEmpty()) continue;
        out << QString() << MenuCaption(menu.id) << items;
    }
    out << QString() << QStringLiteral("General") << Lines(kGeneralKeys);
    return out;
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 8);
    root->addWidget(MakeDialogHeader(this, QStringLiteral("About"), QStringLiteral("Informations about Velto")));

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl1"));
    auto* about = new QWidget;
    about->setObjectName(QStringLiteral("TabSheet1"));
    auto* aboutLay = new QHBoxLayout(about);
    auto* picture = new QLabel(about);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    aboutLay->addWidget(picture, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* name = new QLabel(QStringLiteral("Velto"), about);
    name->setObjectName(QStringLiteral("lblName"));
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    texts->addWidget(name);
    lblVersion_ = new QLabel(about);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    texts->addWidget(lblVersion_);
    lblCopyright_ = new QLabel(about);
    lblCopyright_->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright_->setWordWrap(true);
    texts->addWidget(lblCopyright_);
    texts->addStretch(1);
    aboutLay->addLayout(texts, 1);
    pages_->addTab(about, QStringLiteral("About"));
    memoAcknow_ = Memo(pages_, "MemoAcknow", "Acknowledgments", Lines(kAcknowledgements));
    Memo(pages_, "MemoLicence", "Licence", Lines(kLicence));
    Memo(pages_, "MemoHistory", "History", Lines(kHistory));
    memoShortcuts_ = Memo(pages_, "MemoShortcuts", "Shortcuts", ShortcutLines());
    pages_->setMinimumSize(460, 260);
    auto* middle = new QVBoxLayout;
    middle->setContentsMargins(8, 4, 8, 4);
    middle->addWidget(pages_);

    auto* machine = new QGridLayout;
    lblMem_ = new QLabel(QStringLiteral("Total Memory:"), this);
    lblMem_->setObjectName(QStringLiteral("lblMem"));
    lblSize_ = new QLabel(this);
    lblSize_->setObjectName(QStringLiteral("lblSize"));
    lblOS_ = new QLabel(this);
    lblOS_->setObjectName(QStringLiteral("lblOS"));
    machine->addWidget(lblMem_, 0, 0);
    machine->addWidget(lblSize_, 0, 1);
    machine->addWidget(lblOS_, 1, 0, 1, 2);
    machine->setColumnStretch(1, 1);
    middle->addLayout(machine);
    root->addLayout(middle);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 0);
    row->addStretch(1);
    btnOK_ = new QPushButton(QStringLiteral("OK"), this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    row->addWidget(btnOK_);
    root->addLayout(row);
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(memoAcknow_, &TRichEditURL::urlClicked, this, [](const QString& url) {
        OpenWebPage(QUrl::fromUserInput(url));
    });
}

void TfrmAbout::showEvent(QShowEvent* event) {
    pages_->setCurrentIndex(0);
    lblVersion_->setText(QString::fromLatin1(kVersionText));
    lblCopyright_->setText(QStringLiteral("Copyright (C) the Velto developers. Velto is free software, published "
                                          "under the GNU General Public License version 3."));
    // The translator of the language file in use.
    memoAcknow_->SetLine(0, QString::fromStdString(Lang().GetMessage("msgTranslation", "Language file translation")));
    memoAcknow_->SetLine(2, QStringLiteral("\tAuthor: ") + QString::fromStdString(Lang().GetAuthor()));
    memoAcknow_->SetLine(3, QStringLiteral("\tWeb: ") + QString::fromStdString(Lang().GetWebAddress()));
    lblSize_->setText(MemoryText(TotalPhysicalMemory()));
    lblOS_->setText(SystemVersionText());
    QDialog::showEvent(event);
}

}  // namespace velto
