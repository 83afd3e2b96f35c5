// Help for the window's pages: an HTML file beside the plug-in library, named after
// the library's own file (libmireth.so -> libmireth.html), with one anchor per topic
// ("#0x20081" for topic 0x20081), shown in a help window.
#pragma once

#include <string>

class QWidget;

// Topics are 0x20000 plus a page's dialog number.
constexpr unsigned int HELP_TOPIC_BASE = 0x20000;

// The file of this library (found from its own code address), e.g.
// "/usr/lib/x86_64-linux-gnu/mireth/libmireth.so"; empty when it cannot be told.
std::string GetModuleFilePath();

// The help file that belongs to a module file: the same folder and name, the
// extension ".html" in place of the module's (".so" and any version after it).
std::string GetHelpFileForModule(const std::string& strModulePath);

// The help file in use: the one beside this library. The one place that says where
// help lives.
std::string GetHelpFilePath();

// The anchor of a topic, without '#': "0x20081".
std::string GetHelpAnchor(unsigned int nTopic);

// Opens the help window at the topic (one window, reused; not modal). The window
// belongs to pOwner, so that it takes input while pOwner runs modally, and goes with
// it. Returns false when there is no application to show it in.
bool ShowHelpTopic(unsigned int nTopic, QWidget* pOwner = nullptr);
