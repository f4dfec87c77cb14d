"""Pi by Machin's formula in integer arithmetic: pi * one, for the table generators."""


def arctan_inv(x, one):
    # arctan(1/x) * one, by its Taylor series
    total = term = one // x
    x2, n, sign = x * x, 1, -1
    while term:
        term //= x2
        n += 2
        total += sign * (term // n)
        sign = -sign
    return total


def machin_pi(one):
    return 16 * arctan_inv(5, one) - 4 * arctan_inv(239, one)
