// The wwnpool commands, one file each. Each runs after the setup its row of
// the command table asks for (command_line.cpp).
#pragma once

#include "json.hpp"
#include "operands.hpp"
#include "pool_access.hpp"
#include "report.hpp"
#include "setup.hpp"
#include "text.hpp"

namespace wwnpool {

int cmd_init(Context &ctx);
int cmd_alloc(Context &ctx);
int cmd_take(Context &ctx);
int cmd_release(Context &ctx);
int cmd_status(Context &ctx);
int cmd_list(Context &ctx);
int cmd_decode(Context &ctx);
int cmd_dump(Context &ctx);
int cmd_local(Context &ctx);
int cmd_scan(Context &ctx);
int cmd_check(Context &ctx);
int cmd_repair(Context &ctx);
int cmd_owners(Context &ctx);
int cmd_relabel(Context &ctx);
int cmd_vport_create(Context &ctx);
int cmd_vport_delete(Context &ctx);
int cmd_vport_list(Context &ctx);
int cmd_registry_init(Context &ctx);
int cmd_registry_sync(Context &ctx);
int cmd_registry_check(Context &ctx);
int cmd_who(Context &ctx);

} // namespace wwnpool
