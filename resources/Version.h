// The product's version, kept here and nowhere else: the resources of every binary, the
// renderer's --version and the release file names (tools/product-version) all read it.
#pragma once

#define TW_VERSION_MAJOR 1
#define TW_VERSION_MINOR 0
#define TW_VERSION_PATCH 0

#define TW_VERSION_TEXT_(a, b, c) #a "." #b "." #c
#define TW_VERSION_TEXT_OF_(a, b, c) TW_VERSION_TEXT_(a, b, c)
#define TW_VERSION_STRING TW_VERSION_TEXT_OF_(TW_VERSION_MAJOR, TW_VERSION_MINOR, TW_VERSION_PATCH)

#define TW_PRODUCT_NAME "tw:Phase"
#define TW_COMPANY_NAME "Corvane"
