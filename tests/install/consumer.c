/* A C11 program that uses the installed library. */
#include <mtrx/mtrx.h>
#include <stdio.h>

int main(void)
{
    mtrx_t *m = mtrx_read_str("3,2,-4,3\n2,3,3,15\n5,-3,1,14\n");
    if (!m || m->rows != 3 || m->cols != 4)
        return 1;
    guassj(m->mtrx, m->rows);
    for (size_t i = 0; i < m->rows; ++i)
        printf("%.6f\n", m->mtrx[i][m->rows]);
    mtrx_free(m);
    return 0;
}
