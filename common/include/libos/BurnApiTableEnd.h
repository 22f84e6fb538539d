// Closes an entry table: drops the row forms so the next pass defines its own.
// Compile-time only. No include guard: included once per table.
#undef BURN_FWD
#undef BURN_FWD_VA
#undef BURN_FWD_AS
#undef BURN_FWD_UNBOUND
#undef BURN_ENTRY
#undef BURN_ENTRY_VA
