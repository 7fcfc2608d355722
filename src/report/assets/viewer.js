/* Node-graph viewer: draws window.ND into the graph view. */
