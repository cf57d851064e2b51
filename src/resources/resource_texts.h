/* Texts and ids of the module's string table and version block.
 *
 * Plain preprocessor definitions, so that the Windows resource compiler and the C++ code
 * read the very same text: the DLL carries them as resources, the portable build serves
 * them from a table built from this file. Texts are single-byte (Windows code page 1252). */
#ifndef SERIX_RESOURCE_TEXTS_H
#define SERIX_RESOURCE_TEXTS_H

#define SERIX_IDS_PLUGIN_NAME 128
#define SERIX_IDS_PLUGIN_DESCRIPTION 129
#define SERIX_IDS_FEATURE_STRING 131
#define SERIX_IDS_FUNCTION_VERSION 144
#define SERIX_IDS_FUNCTION_CREATE_RANGE 145
#define SERIX_IDS_FUNCTION_OPTIONS 146
#define SERIX_IDS_PREFS_ERROR_CAPTION 256
#define SERIX_IDS_RANGE_WARNING_CAPTION 4200

#define SERIX_TEXT_PLUGIN_NAME "Vexa Serix Plug-In"
#define SERIX_TEXT_PLUGIN_DESCRIPTION_LINE1 \
  "This plug-in adds several ranges manipulation functions."
#define SERIX_TEXT_PLUGIN_DESCRIPTION_LINE2 \
  "See the plug-in documentation or visit our site: <https://vexa.example/serix>"
#define SERIX_TEXT_FEATURE_STRING "Serx1YYYnnY"
#define SERIX_TEXT_FUNCTION_VERSION "Serx-Version"
#define SERIX_TEXT_FUNCTION_CREATE_RANGE "Serx-CreateRange"
#define SERIX_TEXT_FUNCTION_OPTIONS "Serx-Options"

/* Version block. */
#define SERIX_VERSION_FILE_DESCRIPTION "Vexa Serix Plug-In"
#define SERIX_VERSION_FILE_VERSION_TEXT "1.1 25-July-2001"
#define SERIX_VERSION_INTERNAL_NAME "SerixPlugin"
#define SERIX_VERSION_ORIGINAL_FILENAME "SERIX.FMX"
#define SERIX_VERSION_COMPANY_NAME "Vexa"
#define SERIX_VERSION_LEGAL_COPYRIGHT "Copyright (C) 2001 Vexa"
#define SERIX_VERSION_FILE_NUMBERS 1, 0, 0, 0
#define SERIX_VERSION_PRODUCT_NUMBERS 0, 0, 0, 0

#endif
