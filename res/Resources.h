// Icons and bitmaps of the plug-in, by resource number.
//
// The images are PNG files compiled into the static library mireth_resimages (see
// res/icons/). An icon may come in several sizes ("149-48.png", "145-16.png",
// "145-32.png"); the QIcon returned holds every size, already decoded, so it stays
// usable after the library that loaded it is unloaded. Both functions need a
// QGuiApplication (a QPixmap cannot exist without one).
#pragma once

#include <QIcon>
#include <QPixmap>

// Icon resources.
constexpr int IDI_COMPOSE = 145;        // Compose tab (16, 32)
constexpr int IDI_OUTBOX = 146;         // Outbox tab (16, 32)
constexpr int IDI_INBOX = 147;          // Inbox tab (16, 32)
constexpr int IDI_OPTIONS = 148;        // Options tab (16, 32)
constexpr int IDI_MIRETH = 149;         // the plug-in's icon for the host (48)
constexpr int IDI_SEND = 153;           // picture of the Send button (16, 32)
constexpr int IDI_SMS_MESSAGE = 31234;  // the window's icon (16, 32, 48)

// Bitmap resources.
constexpr int IDB_ERROR_PICTURE = 152;  // the error dialog's picture (32 x 32)

// The icon with the given number in every size it comes in; a null icon when there is
// no such icon.
QIcon LoadIconResource(int nId);

// The bitmap with the given number; a null pixmap when there is no such bitmap.
QPixmap LoadBitmapResource(int nId);
