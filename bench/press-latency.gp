# Press-to-wire latency as a histogram of 5 ms bins; scripts/bench runs it:
#   gnuplot -e "data='press.dat'; out='press.png'" bench/press-latency.gp
set terminal pngcairo size 800,420 font ",11"
set output out
set title "Press of the lamp switch to the command on the line"
set xlabel "delay (ms); the command goes out on the next 100 ms tick"
set ylabel "presses"
set xrange [0:*]
set boxwidth 4.6
set yrange [0:*]
set xtics 10
set grid ytics
set style fill solid 0.6 border -1
bin(x) = 5 * floor(x / 5) + 2.5
plot data using (bin($1)):(1) smooth frequency with boxes notitle linecolor rgb "#3a6ea5"
