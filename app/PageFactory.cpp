#include "app/PageFactory.h"

#include "box/Box.h"

#include "firmware/pages/FirmwarePage.h"
#include "mask/pages/DigiMapPage.h"
#include "mask/pages/MaskPage.h"
#include "registers/pages/RegisterPage.h"
#include "session/PageTable.h"
#include "settings/pages/Blend1Page.h"
#include "settings/pages/Blend2Page.h"
#include "settings/pages/EdidPage.h"
#include "settings/pages/ImagePage.h"
#include "settings/pages/PipPage.h"
#include "settings/pages/SystemPage.h"
#include "settings/pages/VideoWallPage.h"
#include "warp/pages/UserMapPage.h"
#include "warp/pages/WarpAdjustPage.h"

namespace trivel {

namespace {

template <class P> PageWidget* Make(Box& b, QWidget* parent)
{
    if constexpr (std::is_constructible_v<P, Session&, Registers&, QWidget*>)
        return new P(b.session, b.registers, parent);
    else if constexpr (std::is_constructible_v<P, Session&, Firmware&, QWidget*>)
        return new P(b.session, b.firmware, parent);
    else
        return new P(b.session, parent);
}

using Factory = PageWidget* (*)(Box&, QWidget*);

// By page index; TntTabSheet13 has no content of its own.
constexpr std::array<Factory, kPageCount> kFactories{
    &Make<WarpAdjustPage>,
    &Make<VideoWallPage>,
    &Make<Blend1Page>,
    &Make<Blend2Page>,
    &Make<MaskPage>,
    &Make<ImagePage>,
    &Make<EdidPage>,
    &Make<SystemPage>,
    &Make<PipPage>,
    &Make<DigiMapPage>,
    &Make<FirmwarePage>,
    &Make<RegisterPage>,
    &Make<PageWidget>,
    &Make<UserMapPage>,
};

} // namespace

PageWidget* CreatePage(int pageIndex, Box& box, QWidget* parent)
{
    const PageInfo* info = FindPage(pageIndex);
    if (!info)
        return nullptr;
    PageWidget* page = kFactories[std::size_t(pageIndex)](box, parent);
    page->setObjectName(info->control.qname());
    page->setProperty("Tag", info->tag);
    return page;
}

} // namespace trivel
