select * from t where a = :A and b = ? /* :c */ and d = 'x?:y' -- :z
order by 1