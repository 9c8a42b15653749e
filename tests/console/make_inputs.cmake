# Writes the large generated inputs into DIR:
#   diag1100.txt   1100 x 1101 diagonal system with x[i] = i
#   diag1100.tail  the last two lines of its report
#   longline.txt   a 2 x 3 system whose first line is over 20000 characters
#   wide_row.txt   one row of 1000001 numbers (an equation in 1000000 unknowns)
file(MAKE_DIRECTORY ${DIR})
set(n 1100)
math(EXPR last "${n} - 1")
set(text "")
foreach(i RANGE ${last})
  math(EXPR after "${last} - ${i}")
  string(REPEAT "0 " ${i} before_zeros)
  string(REPEAT "0 " ${after} after_zeros)
  string(APPEND text "${before_zeros}1 ${after_zeros}${i}\n")
endforeach()
file(WRITE ${DIR}/diag1100.txt "${text}")
string(ASCII 13 cr)
file(WRITE ${DIR}/diag1100.tail " x[1098] :  1098.0000000${cr}\n x[1099] :  1099.0000000${cr}\n")

string(REPEAT " " 20000 blanks)
file(WRITE ${DIR}/longline.txt "1${blanks}1 3\n1 -1 1\n")
file(WRITE ${DIR}/longline.report
  "${cr}\n${cr}\nSolution Vector:${cr}\n${cr}\n x[  0] :   2.0000000${cr}\n x[  1] :   1.0000000${cr}\n")

string(REPEAT "1 " 1000001 wide)
file(WRITE ${DIR}/wide_row.txt "${wide}\n")
file(WRITE ${DIR}/wide_row.report
  "${cr}\n${cr}\n ERROR: Too many free unknowns to list: 1000000 unknowns in 1 equation, at least 999999 of them free.${cr}\n")
