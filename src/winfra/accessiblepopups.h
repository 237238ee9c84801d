#pragma once

// Open pop-up menus in the accessibility tree.
//
// Qt leaves popup windows out of the application's children, so a screen
// reader that walks the tree from the application never meets an open menu
// or its items. Once installed, every visible menu window is one more child
// of the application, after the ordinary windows, with its items and their
// press actions as Qt gives them. Install it before the application object
// is created: the application's accessibility object is made only once.
namespace AccessiblePopups {

void install();

} // namespace AccessiblePopups
