OziExplorer Track Point File Version 2.1
WGS 84
Altitude is in Feet
Reserved 3
0,2,255,a long title that goes on and on past the eighty-four character piece of the reader,1,0,0,255
2
48.5,2.5,1,1000,39083.999999999,09-Jan-07,23:59:59
-1.25,7,0
1e999,-2E-1,-3,.5,-1.25
