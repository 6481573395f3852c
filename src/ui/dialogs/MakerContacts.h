#pragma once
// The maker's contact data, shown in About and opened by the help menu. They
// come only from the build options KP_MAKER_SITE, KP_MAKER_MAIL,
// KP_MAKER_ADDRESS and KP_MAKER_PHONE, which have no default: a line left
// empty is not shown, and without a site the program opens no page of it
// (nor asks it for anything).

#include <QString>

namespace kp {

struct TMakerContacts {
  QString Site;    // "https://host[/path]", no trailing "/"
  QString Mail;    // an e-mail address
  QString Address; // postal address, one line
  QString Phone;
};

// The build's contacts; tests may change them.
TMakerContacts &MakerContacts();

} // namespace kp
