# Resident memory of the panel over a soak against lumo-sim; scripts/bench runs it:
#   gnuplot -e "data='soak.dat'; out='soak.png'" bench/soak-memory.gp
set terminal pngcairo size 800,420 font ",11"
set output out
set title "Resident memory over a soak against lumo-sim with a lossy radio"
set xlabel "minutes"
set ylabel "MB"
set yrange [0:*]
set grid
plot data using ($1 / 60):($2 / 1024) with linespoints pointtype 7 pointsize 0.6 \
     linecolor rgb "#3a6ea5" notitle
