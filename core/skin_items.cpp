#include "core/skin_items.h"

#include <type_traits>

namespace lk {
namespace {

using K = SkinItemKind;
using G = TGraphicInfo;

const SkinItem kSkinItems[] = {
    {1, K::Switch, "BrandNameSwitch", &G::BrandNameSwitch},
    {2, K::ShortText, "SkinName", &G::SkinName},
    {3, K::Size, "ControlbackSizet", &G::ControlbackSizet},
    {4, K::PngImage, "ControlbackImage", &G::ControlbackImage},
    {5, K::Size, "ControlLoingPoint", &G::ControlLoingPoint},
    {6, K::Size, "ControlLoingSizet", &G::ControlLoingSizet},
    {7, K::PngImage, "ControLoing1Image", &G::ControLoing1Image},
    {8, K::PngImage, "ControLoing2Image", &G::ControLoing2Image},
    {9, K::Switch, "ControlCustomerHubSwitch", &G::ControlCustomerHubSwitch},
    {10, K::Size, "ControlCustomerHubPoint", &G::ControlCustomerHubPoint},
    {11, K::Size, "ControlCustomerHubSizet", &G::ControlCustomerHubSizet},
    {12, K::BmpImage, "ControCustomerHub1Image", &G::ControCustomerHub1Image},
    {13, K::BmpImage, "ControCustomerHub2Image", &G::ControCustomerHub2Image},
    {14, K::Switch, "ControlwebsiteSwitch", &G::ControlwebsiteSwitch},
    {15, K::Size, "ControlwebsitePoint", &G::ControlwebsitePoint},
    {16, K::Size, "ControlwebsiteSizet", &G::ControlwebsiteSizet},
    {17, K::BmpImage, "Controlwebsite1Image", &G::Controlwebsite1Image},
    {18, K::BmpImage, "Controlwebsite2Image", &G::Controlwebsite2Image},
    {19, K::Switch, "ControlPlayerToolsSwitch", &G::ControlPlayerToolsSwitch},
    {20, K::Size, "ControlPlayerToolsPoint", &G::ControlPlayerToolsPoint},
    {21, K::Size, "ControlPlayerToolsSizet", &G::ControlPlayerToolsSizet},
    {22, K::BmpImage, "ControlPlayerTools1Image", &G::ControlPlayerTools1Image},
    {23, K::BmpImage, "ControlPlayerTools2Image", &G::ControlPlayerTools2Image},
    {24, K::Switch, "ControlRegistrationSwitch", &G::ControlRegistrationSwitch},
    {25, K::Size, "ControlRegistrationPoint", &G::ControlRegistrationPoint},
    {26, K::Size, "ControlRegistrationSizet", &G::ControlRegistrationSizet},
    {27, K::BmpImage, "ControlRegistration1Image", &G::ControlRegistration1Image},
    {28, K::BmpImage, "ControlRegistration2Image", &G::ControlRegistration2Image},
    {29, K::Byte, "ServerListType", &G::ServerListType},
    {30, K::ServerListPosition, "ControlServerListPoint", &G::ControlServerListPoint},
    {31, K::Size, "ControlServerListSizet", &G::ControlServerListSizet},
    {32, K::Size, "ControlNoticePoint", &G::ControlNoticePoint},
    {33, K::Size, "ControlNoticeListSizet", &G::ControlNoticeListSizet},
    {34, K::Size, "ControlWindowModePoint", &G::ControlWindowModePoint},
    {35, K::Size, "ControlResolutionPoint", &G::ControlResolutionPoint},
    {36, K::Size, "ControlInterfaceSelectionPoint", &G::ControlInterfaceSelectionPoint},
    {37, K::Size, "ControlStateBoxPoint", &G::ControlStateBoxPoint},
    {38, K::Size, "ControlprogressBarPoint", &G::ControlprogressBarPoint},
    {39, K::Size, "ControlprogressBarSize", &G::ControlprogressBarSize},
    {40, K::Size, "Controlbutton4Point", &G::Controlbutton4Point},
    {41, K::BmpImage, "Controlbutton41Image", &G::Controlbutton41Image},
    {42, K::BmpImage, "Controlbutton42Image", &G::Controlbutton42Image},
    {43, K::Size, "Controlbutton5Point", &G::Controlbutton5Point},
    {44, K::BmpImage, "Controlbutton51Image", &G::Controlbutton51Image},
    {45, K::BmpImage, "Controlbutton52Image", &G::Controlbutton52Image},
    {46, K::Size, "ControltitletxtPoint", &G::ControltitletxtPoint},
    {47, K::Font, "ControltitletxtFont", &G::ControltitletxtFont},
    {48, K::Colour, "ControltitletxtColor", &G::ControltitletxtColor},
    {49, K::Switch, "ControlprogressBar2Switch", &G::ControlprogressBar2Switch},
    {50, K::Size, "ControlprogressBar2Point", &G::ControlprogressBar2Point},
    {51, K::Size, "ControlprogressBar2Size", &G::ControlprogressBar2Size},
    {52, K::Switch, "ControlprogressBar1Switch", &G::ControlprogressBar1Switch},
    {53, K::Size, "ControlprogressBar1Point", &G::ControlprogressBar1Point},
    {54, K::Size, "ControlprogressBar1Size", &G::ControlprogressBar1Size},
    {55, K::Switch, "Control16Switch", &G::Control16Switch},
    {56, K::Size, "Control16Point", &G::Control16Point},
    {57, K::Size, "Control16Sizet", &G::Control16Sizet},
    {58, K::Switch, "ControlCloudShieldSwitch", &G::ControlCloudShieldSwitch},
    {59, K::Size, "ControlCloudShieldPoint", &G::ControlCloudShieldPoint},
    {60, K::Switch, "Control24Switch", &G::Control24Switch},
};

}  // namespace

std::span<const SkinItem> SkinItems() { return kSkinItems; }

bool SameSkin(const TGraphicInfo& a, const TGraphicInfo& b) {
  if (a.ControlServerListPoint != b.ControlServerListPoint ||
      a.ControlServerList1Point != b.ControlServerList1Point)
    return false;
  for (const SkinItem& item : kSkinItems) {
    const bool same = std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(a.*member)>;
          if constexpr (std::is_same_v<T, ImageRef>) {
            const ImageRef &x = a.*member, &y = b.*member;
            return x == y || (x && y && *x == *y);
          } else {
            return a.*member == b.*member;
          }
        },
        item.member);
    if (!same) return false;
  }
  return true;
}

}  // namespace lk
