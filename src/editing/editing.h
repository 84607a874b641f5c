#pragma once
// The compose window's editing tools in one include: edit commands, find and text files.
#include "editing/bodytext.h"
#include "editing/editcommands.h"
#include "editing/find.h"
#include "editing/findstate.h"
#include "editing/frmfind.h"
#include "editing/textfiles.h"
