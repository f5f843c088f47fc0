    .globl start
start:
    ret
