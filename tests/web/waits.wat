;; SPDX-License-Identifier: MIT
;; A program in miniature for test_web_waits.py: main reaches a wait through
;; an indirect call of the window procedures' type; a kernel dispatcher calls
;; through the same type but is known never to wait; a row kernel has a type
;; of its own.
(module
 (type $proc (func (param i32 i32 i32 i32) (result i32)))
 (type $row (func (param i32 i32)))
 (import "env" "wait" (func $wait))
 (table 4 funcref)
 (elem (i32.const 1) $window_proc $other_proc $row_kernel)
 (func $main (export "main") (result i32)
  (call $loop (i32.const 0))
  (i32.const 0))
 (func $loop (param $0 i32)
  (drop (call_indirect (type $proc) (local.get $0) (i32.const 0) (i32.const 0) (i32.const 0) (i32.const 1))))
 (func $window_proc (param $0 i32) (param $1 i32) (param $2 i32) (param $3 i32) (result i32)
  (call $present)
  (i32.const 0))
 (func $present
  (call $wait))
 (func $other_proc (param $0 i32) (param $1 i32) (param $2 i32) (param $3 i32) (result i32)
  (i32.const 1))
 (func $row_kernel (param $0 i32) (param $1 i32))
 (func $rows (export "rows")
  (call_indirect (type $row) (i32.const 0) (i32.const 0) (i32.const 3)))
 (func $kernel_dispatch (export "dispatch") (result i32)
  (call_indirect (type $proc) (i32.const 0) (i32.const 0) (i32.const 0) (i32.const 0) (i32.const 2)))
 (func $frame (export "frame") (result i32)
  (call $kernel_dispatch))
)
