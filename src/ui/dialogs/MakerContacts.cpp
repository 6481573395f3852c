#include "MakerContacts.h"

#ifndef KP_MAKER_SITE
#define KP_MAKER_SITE ""
#endif
#ifndef KP_MAKER_MAIL
#define KP_MAKER_MAIL ""
#endif
#ifndef KP_MAKER_ADDRESS
#define KP_MAKER_ADDRESS ""
#endif
#ifndef KP_MAKER_PHONE
#define KP_MAKER_PHONE ""
#endif

namespace kp {

TMakerContacts &MakerContacts()
{
  static TMakerContacts contacts{QString::fromUtf8(KP_MAKER_SITE), QString::fromUtf8(KP_MAKER_MAIL),
                                 QString::fromUtf8(KP_MAKER_ADDRESS), QString::fromUtf8(KP_MAKER_PHONE)};
  return contacts;
}

} // namespace kp
