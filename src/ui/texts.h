// The texts the window builds from data: dialog and message-box texts, the
// Explorer parameters, the clipboard texts.
#pragma once

#include <cstdint>

#include "scan/scan.h"

// The version shown in the title and the about box (also in the resources).
#include "ui/version.h"

// "已选中 %u 个文件，共 %s" into the dialog's 160-unit field.
void wv_confirm_text(uint32_t files, uint64_t bytes, char16_t* out, uint32_t cap);
// "清理完成：%u 个文件，释放 %s。" into the 256-unit message buffer.
void wv_clean_done_text(uint32_t files, uint64_t freed, char16_t* out, uint32_t cap);
// Header status line for the state; `status` is the worker's status text.
void wv_status_line(int32_t state, const char16_t* status, char16_t* out, uint32_t cap);
// The about box text (512 units).
void wv_about_text(char16_t* out, uint32_t cap);
// "/select," and the path in double quotes. False when it does not fit, so
// Explorer is never pointed at a cut path.
bool wv_explorer_params(const char16_t* path, char16_t* out, uint32_t cap);
// The part of a path after its last backslash; the whole path without one.
const char16_t* wv_file_name_part(const char16_t* path);
// Every path of the category followed by CR LF, in list order, in a text
// from wv::mem_alloc_zero (free with wv::mem_free); an empty text for a
// category without files; null when the memory cannot be had.
char16_t* wv_category_paths_text(const wv_category* c);
