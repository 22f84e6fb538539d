// Opens an entry table (the *ApiTable.h files): every row form the includer did not
// define expands to nothing. Compile-time only. No include guard: included once per table.
//
// Row forms, one row per entry of a closed library, in the order the binding looks
// the entries up:
//   BURN_FWD(ret, name, params, args, fail, form)
//       looked up under `name` and re-exported under the same name.
//   BURN_FWD_VA(ret, name, params, fixedArgs, fmtParam, fmtIndex, fail, form)
//       the same for a printf-style entry; `fixedArgs` are the arguments before the
//       format `fmtParam`, which is parameter number `fmtIndex` (from 1).
//   BURN_FWD_AS(ret, entry, name, params, args, fail, form)
//       looked up under `entry`, re-exported under `name`.
//   BURN_FWD_UNBOUND(ret, name, params, args, fail, form)
//       re-exported but never looked up: the forwarder always reports and fails.
//   BURN_ENTRY(ret, name, params, args)
//       looked up, not re-exported (used inside the module or not at all).
//   BURN_ENTRY_VA(ret, name, params, fixedArgs, fmtParam)
//       the same for a printf-style entry.
// `fail` is what a forwarder returns when its entry is not bound (BURN_NO_RESULT for
// none); `form` names the Qt debug line it writes then (BURN_LINE_<form> in BurnApiGen.h).

#ifndef BURN_FWD
#define BURN_FWD(ret, name, params, args, fail, form)
#endif
#ifndef BURN_FWD_VA
#define BURN_FWD_VA(ret, name, params, fixedArgs, fmtParam, fmtIndex, fail, form)
#endif
#ifndef BURN_FWD_AS
#define BURN_FWD_AS(ret, entry, name, params, args, fail, form)
#endif
#ifndef BURN_FWD_UNBOUND
#define BURN_FWD_UNBOUND(ret, name, params, args, fail, form)
#endif
#ifndef BURN_ENTRY
#define BURN_ENTRY(ret, name, params, args)
#endif
#ifndef BURN_ENTRY_VA
#define BURN_ENTRY_VA(ret, name, params, fixedArgs, fmtParam)
#endif
#ifndef BURN_NO_RESULT
#define BURN_NO_RESULT
#endif
