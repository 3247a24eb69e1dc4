#include "install/version_check.h"

int VersionAtLeast(uint32_t installedMS, uint32_t installedLS, uint32_t wantedMS, uint32_t wantedLS) {
  if (installedMS != wantedMS) return installedMS > wantedMS;
  return installedLS >= wantedLS;
}
