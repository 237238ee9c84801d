#pragma once

#include "catalogwriter.h"

namespace Demo {

// The demo site's catalog: public-domain classics (novel chapters, Tang and
// Song poetry, folk and idiom stories, philosophers, children's primers) in
// ten categories. Ids run 1..n in file order; covers, player and page
// addresses are derived from the id under baseUrl (no trailing slash needed).
// litpic is relative to the server root ("covers/<id>.png", every fourth one
// an animated "covers/<id>.gif").
// A few titles contain "-" on purpose: the program splits list lines at the
// first "-", and such titles must still show and play.
QList<Category> demoCatalog(const QString &baseUrl);

} // namespace Demo
